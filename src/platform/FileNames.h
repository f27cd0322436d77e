#pragma once

#include <string>

// The one long spelling of a path where the file system has others.
class TFileNames {
public:
    TFileNames() = delete;

    // On Windows the full path with each short (8.3) name in it replaced by its long one, so that
    // a program started by its short name finds the files named after its long one; elsewhere
    // the path as it is. UTF-8.
    static std::string LongForm(const std::string& APath);
};
