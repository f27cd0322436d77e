#include "AutoStart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart; empty when neither can be told.
fs::path AutostartFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return fs::path(config) / "autostart";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".config" / "autostart";
    return {};
}

fs::path EntryPath(const fs::path& AFolder) {
    return AFolder / (std::string(TAutoStart::EntryName) + ".desktop");
}

// The executable as one quoted argument of Exec: inside the quotes ", `, $ and \ take a
// backslash; then the file's own string escapes double every backslash and write a line break
// as \n; and % is doubled, since a lone one would start a field code.
std::string QuotedExec(const std::string& APath) {
    std::string quoted = "\"";
    for (const char c : APath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '\n')
            value += "\\n";
        else if (c == '%')
            value += "%%";
        else
            value += c;
    }
    return value;
}

// GLib checks that the program of Exec exists before it expands the field codes, so a path with
// a doubled % would count as missing and the entry as broken; env stands first for such a path.
std::string ExecLine(const std::string& AExecutable) {
    const bool percent = AExecutable.find('%') != std::string::npos;
    return "Exec=" + std::string(percent ? "env " : "") + QuotedExec(AExecutable) + "\n";
}

std::string EntryText(const std::string& AExecutable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kestaro\n"
           "Name[ar]=Kestaro - أمانة المدير\n"
           "Comment=Watches the school's certificate requests\n"
           "Icon=kestaro-zelvan\n" +
           ExecLine(AExecutable) +
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// Closes a descriptor and removes its temporary file unless the write went through.
struct TTempFile {
    fs::path Path;
    int Fd = -1;
    bool Keep = false;
    ~TTempFile() {
        if (Fd >= 0) close(Fd);
        if (!Keep && !Path.empty()) unlink(Path.c_str());
    }
};

// Written beside the entry, then renamed over it: a reader sees the old entry or the new one.
bool WriteAtomically(const fs::path& ATarget, const std::string& AText) {
    TTempFile temp;
    std::string name = ATarget.string() + ".XXXXXX";
    temp.Fd = mkstemp(name.data());
    if (temp.Fd < 0) return false;
    temp.Path = name;
    std::size_t written = 0;
    while (written < AText.size()) {
        const ssize_t n = write(temp.Fd, AText.data() + written, AText.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += std::size_t(n);
    }
    if (fchmod(temp.Fd, 0644) != 0 || fsync(temp.Fd) != 0) return false;
    if (close(temp.Fd) != 0) {
        temp.Fd = -1;
        return false;
    }
    temp.Fd = -1;
    if (std::rename(temp.Path.c_str(), ATarget.c_str()) != 0) return false;
    temp.Keep = true;
    return true;
}

}  // namespace

// The entry is this copy's when its Exec line is the one this copy writes.
bool TAutoStart::IsEnabled(const std::string& AExecutable) {
    const fs::path folder = AutostartFolder();
    if (folder.empty()) return false;
    std::ifstream entry(EntryPath(folder));
    const std::string wanted = ExecLine(AExecutable);
    for (std::string line; std::getline(entry, line);)
        if (line + '\n' == wanted) return true;
    return false;
}

TAutoStart::TResult TAutoStart::Set(bool AEnable, const std::string& AExecutable) {
    const fs::path folder = AutostartFolder();
    std::error_code error;
    if (folder.empty()) return TResult::NotOpened;
    if (!AEnable) {
        if (IsEnabled(AExecutable)) fs::remove(EntryPath(folder), error);
        return TResult::Done;
    }
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error)) return TResult::NotOpened;
    return WriteAtomically(EntryPath(folder), EntryText(AExecutable)) ? TResult::Done
                                                                      : TResult::WriteFailed;
}
