#pragma once

#include <string>

// What keeps the running copies of the program apart: the file each is started with, its user
// and, where one name is seen by every user and every session, the session too.
class TInstanceScope {
public:
    TInstanceScope() = delete;

    // The same text for every path that names the file APath (UTF-8). On Windows, whose pipe
    // names every user and session share, the path's one spelling (any letter case, an 8.3 name
    // in its long form), the user's name and the session's number; elsewhere the path itself,
    // the channel lying in the user's own runtime folder.
    static std::string Key(const std::string& APath);
};
