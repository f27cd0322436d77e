#include "uSettingsForm.h"

#include <QCoreApplication>

#include "ZelvanConfig.h"

namespace {
QString IniPathForTesting;
}

void TFrmSettings::SetIniPathForTesting(const QString& APath) {
    IniPathForTesting = APath;
}

QString TFrmSettings::GetIniPath() {
    if (!IniPathForTesting.isEmpty()) return IniPathForTesting;
    return IniPathForExecutable(QCoreApplication::applicationFilePath());
}

void TFrmSettings::LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                              bool& ASound, QString& AStyle, QString& APassword) {
    const TZelvanConfig config = LoadZelvanConfig(GetIniPath());
    AHost = config.Host;
    APort = config.Port;
    AInterval = config.PollInterval;
    ASound = config.SoundEnabled;
    AStyle = config.StyleName;
    APassword = config.Password;
}

void TFrmSettings::LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                              bool& ASound, QString& AStyle) {
    QString password;
    LoadConfig(AHost, APort, AInterval, ASound, AStyle, password);
}

void TFrmSettings::LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                              bool& ASound) {
    QString style;
    LoadConfig(AHost, APort, AInterval, ASound, style);
}
