#include "FileNames.h"

std::string TFileNames::LongForm(const std::string& APath) {
    return APath;
}
