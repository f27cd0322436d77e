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
};

// The configuration file beside an executable: its path with the file name's extension (the
// text from the last "." after the last "\", "/" or ":") replaced by ".ini", or ".ini" appended
// when the name has none.
QString IniPathForExecutable(const QString& AExecutablePath);

// Where the program keeps its configuration file: beside the executable, as IniPathForExecutable
// says, when the executable's folder can be written; otherwise (an installed program in
// /usr/bin) in the user's configuration folder, $XDG_CONFIG_HOME/kestaro/ (made when missing),
// under the same name.
QString ConfigFilePath(const QString& AExecutablePath);

// Reads every setting from the file at AIniPath; a missing file, section or key, or a value of
// the wrong type, gives that setting's default. Never creates the file.
TZelvanConfig LoadZelvanConfig(const QString& AIniPath);

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
}  // namespace ConfigKeys
