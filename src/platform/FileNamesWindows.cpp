#include "FileNames.h"

#include "WindowsPaths.h"

std::string TFileNames::LongForm(const std::string& APath) {
    return WindowsPaths::Utf8(WindowsPaths::LongForm(WindowsPaths::Wide(APath)));
}
