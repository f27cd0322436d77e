#include "InstanceScope.h"

std::string TInstanceScope::Key(const std::string& APath) {
    return APath;
}
