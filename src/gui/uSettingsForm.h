#pragma once

#include <cstdint>
#include <memory>

#include <QDialog>
#include <QString>

class QCheckBox;
class TBusyCursor;
class TServerWorker;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings dialog: server, password, poll interval, sound, visual style and start at login,
// with a connection test. Save writes them all and switches the style at once; every other way
// of closing changes nothing. Its class-level operations are the one way the rest of the program
// reaches the configuration file: GetIniPath for where it is, LoadConfig for what it holds.
class TFrmSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSettings(QWidget* AParent = nullptr);
    ~TFrmSettings() override;
    // A connection test is waiting for the server.
    bool IsTesting() const { return FTestCursor != nullptr; }

    // The program's own file, by one path whatever path started it (on Windows a short 8.3 name
    // in its long form), so that its settings and its running copy are found by that path.
    static QString ProgramPath();
    // The executable's path with its extension replaced by ".ini"; where the executable's folder
    // cannot be written, the same name in the user's configuration folder once a save made it.
    static QString GetIniPath();
    // Where a save writes: GetIniPath's file, or the user's own copy of it where that file's
    // folder cannot be written.
    static QString GetIniSavePath();
    // A message for the user when the configuration file is too large to be one (it is then
    // read as missing and never written); empty otherwise.
    static QString ConfigFileProblem();

    static void LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                           bool& ASound, QString& AStyle, QString& APassword);
    static void LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                           bool& ASound, QString& AStyle);
    static void LoadConfig(QString& AHost, std::int32_t& APort, std::int32_t& AInterval,
                           bool& ASound);

    // The changes an end that asked nobody left unsent are named for the next start in a file
    // of the user's own, beside the configuration file.
    static void WriteChangesLeftNote(const QString& AText);
    // What that file names, if anything; the file is gone afterwards.
    static QString TakeChangesLeftNote();

    // Points GetIniPath at another file, so that tests run side by side in temporary folders;
    // an empty path goes back to the file beside the executable.
    static void SetIniPathForTesting(const QString& APath);
    // "كل 15 دقيقة": how an interval of the reminder reads.
    static QString ReminderItem(int AMinutes);

    QWidget* PnlHeader;
    QWidget* PnlContent;
    QWidget* PnlFooter;
    QLabel* LblTitle;
    QLabel* LblHost;
    QLabel* LblPort;
    QLineEdit* EdtHost;
    QLineEdit* EdtPort;
    QLabel* LblPassword;
    QLineEdit* EdtPassword;
    QPushButton* BtnTest;
    QLabel* LblTheme;
    QComboBox* CmbTheme;
    QLabel* LblInterval;
    QLineEdit* EdtInterval;
    QCheckBox* ChkSound;
    QCheckBox* ChkAutoStart;
    QLabel* LblReminder;
    QComboBox* CmbReminder;
    QPushButton* BtnSave;
    QPushButton* BtnCancel;

    void done(int AResult) override;

public slots:
    void BtnTestClick();
    void BtnSaveClick();
    void BtnCancelClick();

private:
    void ShowReminderMinutes(int AMinutes);
    void BuildLayout();
    void ApplyColours();
    void FormCreate();
    void LoadSettingsToControls();
    void SaveSettings();
    static bool IsAutoStartEnabled();
    static void SetAutoStart(bool AEnable);

    QString FIniPath;
    // The connection test waits on a worker of the dialog's own; closing the dialog gives up on
    // it, and the busy cursor goes with the dialog.
    TServerWorker* FTestWorker = nullptr;
    std::unique_ptr<TBusyCursor> FTestCursor;
};
