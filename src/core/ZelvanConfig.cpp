#include "ZelvanConfig.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "IniFile.h"

QString IniPathForExecutable(const QString& AExecutablePath) {
    const qsizetype nameStart =
        std::max({AExecutablePath.lastIndexOf(u'\\'), AExecutablePath.lastIndexOf(u'/'),
                  AExecutablePath.lastIndexOf(u':')}) +
        1;
    const qsizetype dot = AExecutablePath.lastIndexOf(u'.');
    const QString stem = dot >= nameStart ? AExecutablePath.left(dot) : AExecutablePath;
    return stem + QStringLiteral(".ini");
}

namespace {

// Asked of the folder itself by making a file there: on Windows the folder's access rights, not
// its attributes, decide, and Qt does not read those (C:\Program Files reads as writable).
bool FolderTakesFiles(const QString& AFile) {
    QTemporaryFile probe(QFileInfo(AFile).absolutePath() +
                         QStringLiteral("/.kestaro-probe-XXXXXX"));
    return probe.open();
}

// An installed program lives in the system's program folder, which root can write: a save there
// would leave a file no package owns, which every other user would then start from. Only a
// folder of the program's own (a portable copy, the Windows zip, a build tree) keeps the file
// beside it. The folder is judged by its name's end, so that an unpacked package tree counts too.
bool InSystemProgramFolder(const QString& AExecutablePath) {
#ifdef _WIN32
    Q_UNUSED(AExecutablePath);
    return false;  // Program Files is judged by whether it can be written
#else
    const QString folder = QFileInfo(AExecutablePath).absolutePath();
    for (const char* system : {"/usr/bin", "/usr/local/bin", "/usr/sbin", "/usr/local/sbin",
                               "/usr/games", "/usr/local/games"})
        if (folder.endsWith(QLatin1String(system))) return true;
    return folder == u"/bin" || folder == u"/sbin";
#endif
}

bool KeepsFileBeside(const QString& AExecutablePath) {
    return !InSystemProgramFolder(AExecutablePath) &&
           FolderTakesFiles(IniPathForExecutable(AExecutablePath));
}

}  // namespace

QString UserConfigFilePath(const QString& AExecutablePath) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kestaro/") +
           QFileInfo(IniPathForExecutable(AExecutablePath)).fileName();
}

QString DefaultsFilePath(const QString& AExecutablePath) {
    const QString beside = IniPathForExecutable(AExecutablePath);
    if (!InSystemProgramFolder(AExecutablePath)) return beside;
    // The first is the user's own folder; the system's follow (/etc/xdg unless told otherwise).
    const QStringList folders =
        QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QString system = folders.size() > 1 ? folders.at(1) : QStringLiteral("/etc/xdg");
    return system + QStringLiteral("/kestaro/") + QFileInfo(beside).fileName();
}

bool IsAdministratorsFile(const QString& AExecutablePath, const QString& APath) {
    return InSystemProgramFolder(AExecutablePath) && APath == DefaultsFilePath(AExecutablePath);
}

QString ConfigFilePath(const QString& AExecutablePath) {
    if (KeepsFileBeside(AExecutablePath)) return IniPathForExecutable(AExecutablePath);
    const QString own = UserConfigFilePath(AExecutablePath);
    return QFileInfo::exists(own) ? own : DefaultsFilePath(AExecutablePath);
}

QString ConfigSavePath(const QString& AExecutablePath) {
    const QString current = ConfigFilePath(AExecutablePath);
    if (KeepsFileBeside(AExecutablePath)) return current;
    const QString own = UserConfigFilePath(AExecutablePath);
    if (current == own) return own;
    QDir().mkpath(QFileInfo(own).absolutePath());
    // The copy is made with the owner-only mode a new configuration file gets (it holds the
    // password); an unreadable or oversized file beside the executable is not copied.
    if (!QFileInfo::exists(own) && QFileInfo(current).size() <= TIniFile::MaxFileSize &&
        QFile::copy(current, own))
        QFile::setPermissions(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return own;
}

TZelvanConfig LoadZelvanConfig(const QString& AIniPath, bool* ATooLarge) {
    using namespace ConfigKeys;
    const TIniFile::TContents ini = TIniFile(AIniPath).Read();
    const TZelvanConfig defaults;
    TZelvanConfig config;
    config.Host = ini.ReadString(Connection, ServerHost, defaults.Host);
    config.Port = ini.ReadInteger(Connection, ServerPort, defaults.Port);
    config.Password = ini.ReadString(Connection, Password, defaults.Password);
    config.PollInterval = ini.ReadInteger(Options, PollInterval, defaults.PollInterval);
    config.SoundEnabled = ini.ReadBool(Options, SoundEnabled, defaults.SoundEnabled);
    config.ReminderMinutes =
        std::max(0, ini.ReadInteger(Options, ReminderMinutes, defaults.ReminderMinutes));
    config.StyleName = ini.ReadString(Display, StyleName, defaults.StyleName);
    if (ATooLarge) *ATooLarge = ini.TooLarge();
    return config;
}

QString TrustedAuthorityFile(const QString& AIniPath) {
    const QString named =
        TIniFile(AIniPath).ReadString(ConfigKeys::Connection, ConfigKeys::CaFile, QString());
    if (named.trimmed().isEmpty()) return {};
    const QString path = QDir(QFileInfo(AIniPath).absolutePath()).absoluteFilePath(named.trimmed());
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}
