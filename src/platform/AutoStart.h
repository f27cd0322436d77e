#pragma once

#include <string>

// Starting the program when the user logs in: an XDG autostart entry on Linux, the value under
// the user's Run key on Windows. Paths are UTF-8.
class TAutoStart {
public:
    TAutoStart() = delete;

    static constexpr const char* EntryName = "KestaroZelvan";

    enum class TResult {
        Done,
        NotOpened,  // the place that holds the entry could not be opened or made: nothing done
        WriteFailed
    };

    // Whether the entry exists and starts AExecutable: an entry that starts another copy of the
    // program (another folder) is that copy's. False when its place cannot be read.
    static bool IsEnabled(const std::string& AExecutable);
    // Writes the entry to start AExecutable, replacing one that exists, when AEnable; otherwise
    // removes it, if it starts AExecutable, and leaves another copy's alone.
    static TResult Set(bool AEnable, const std::string& AExecutable);
};
