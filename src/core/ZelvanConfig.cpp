#include "ZelvanConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QString ConfigFilePath(const QString& AExecutablePath) {
    const QString beside = IniPathForExecutable(AExecutablePath);
    const QFileInfo file(beside);
    if (QFileInfo(file.absolutePath()).isWritable()) return beside;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/kestaro");
    QDir().mkpath(folder);
    return folder + u'/' + file.fileName();
}

TZelvanConfig LoadZelvanConfig(const QString& AIniPath) {
    using namespace ConfigKeys;
    const TIniFile ini(AIniPath);
    const TZelvanConfig defaults;
    TZelvanConfig config;
    config.Host = ini.ReadString(Connection, ServerHost, defaults.Host);
    config.Port = ini.ReadInteger(Connection, ServerPort, defaults.Port);
    config.Password = ini.ReadString(Connection, Password, defaults.Password);
    config.PollInterval = ini.ReadInteger(Options, PollInterval, defaults.PollInterval);
    config.SoundEnabled = ini.ReadBool(Options, SoundEnabled, defaults.SoundEnabled);
    config.StyleName = ini.ReadString(Display, StyleName, defaults.StyleName);
    return config;
}
