#pragma once

#include <cstdint>

#include <QString>

// The client's settings as the configuration file holds them, each with its default.
struct TZelvanConfig {
    QString Host = QStringLiteral("127.0.0.1");
    std::int32_t Port = 80;
    QString Password = QStringLiteral("2613");
    std::int32_t PollInterval = 10;  // seconds; no range is applied on reading
    bool SoundEnabled = true;
    QString StyleName = QStringLiteral("Windows10 Blue");
    // Minutes between reminders of waiting requests; 0 (and what reads as less) is off.
    std::int32_t ReminderMinutes = 0;
};

// The configuration file beside an executable: its path with the file name's extension (the
// text from the last "." after the last "\", "/" or ":") replaced by ".ini", or ".ini" appended
// when the name has none.
QString IniPathForExecutable(const QString& AExecutablePath);

// The defaults every user of a copy starts from: for an installed program (one in the system's
// program folder, /usr/bin, /usr/local/bin and the like) the administrator's file in the system's
// configuration folder, /etc/xdg/kestaro/ (XDG_CONFIG_DIRS), where Debian keeps an
// administrator's settings; for any other copy, the file beside the executable.
QString DefaultsFilePath(const QString& AExecutablePath);
// Whether APath is an installed program's administrator's file, which the program never touches.
bool IsAdministratorsFile(const QString& AExecutablePath, const QString& APath);

// The configuration file the program reads: the one beside the executable (IniPathForExecutable)
// while the executable's folder is its own and can be written. Where it cannot, or where it is
// the system's program folder (an installed program, which root could write), the user's own file
// of the same name (UserConfigFilePath) once a save has made it, and the defaults
// (DefaultsFilePath) until then. Creates nothing.
QString ConfigFilePath(const QString& AExecutablePath);

// The file a save writes to: the one ConfigFilePath reads where its folder can be written;
// otherwise the user's own file, made (with its folder) as a copy of the defaults, so that a save
// of one key keeps the others.
QString ConfigSavePath(const QString& AExecutablePath);

// The user's own configuration file: $XDG_CONFIG_HOME/kestaro/ (%LOCALAPPDATA%\kestaro\ on
// Windows) with the name of the one beside the executable.
QString UserConfigFilePath(const QString& AExecutablePath);

// Reads every setting from the file at AIniPath, in one reading; a missing file, section or
// key, or a value of the wrong type, gives that setting's default. ATooLarge, when given, says
// whether the file was passed over for being too large to be a configuration. Never creates the
// file.
TZelvanConfig LoadZelvanConfig(const QString& AIniPath, bool* ATooLarge = nullptr);

// The authority's certificate file that [Connection] CaFile names in the file at AIniPath, a
// relative path taken from that file's folder; empty when it names none. Only the file names
// it: the settings dialog does not.
QString TrustedAuthorityFile(const QString& AIniPath);

// The sections and keys of the file.
namespace ConfigKeys {
inline const QString Connection = QStringLiteral("Connection");
inline const QString Options = QStringLiteral("Options");
inline const QString Display = QStringLiteral("Display");
inline const QString ServerHost = QStringLiteral("ServerHost");
inline const QString ServerPort = QStringLiteral("ServerPort");
inline const QString Password = QStringLiteral("Password");
inline const QString PollInterval = QStringLiteral("PollInterval");
inline const QString SoundEnabled = QStringLiteral("SoundEnabled");
inline const QString AutoStartWithWindows = QStringLiteral("AutoStartWithWindows");
inline const QString StyleName = QStringLiteral("StyleName");
inline const QString CaFile = QStringLiteral("CaFile");
inline const QString ReminderMinutes = QStringLiteral("ReminderMinutes");
}  // namespace ConfigKeys
