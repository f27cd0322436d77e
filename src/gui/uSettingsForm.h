#pragma once

#include <cstdint>

#include <QDialog>
#include <QString>

// The settings dialog. Its class-level operations are the one way the rest of the program
// reaches the configuration file: GetIniPath for where it is, LoadConfig for what it holds.
class TFrmSettings : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // The executable's path with its extension replaced by ".ini".
    static QString GetIniPath();

    static void LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                           bool& ASound, QString& AStyle, QString& APassword);
    static void LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                           bool& ASound, QString& AStyle);
    static void LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                           bool& ASound);

    // Points GetIniPath at another file, so that tests run side by side in temporary folders;
    // an empty path goes back to the file beside the executable.
    static void SetIniPathForTesting(const QString& APath);
};
