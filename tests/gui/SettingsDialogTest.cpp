#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

#include "Alerts.h"
#include "AutoStart.h"
#include "HttpTransport.h"
#include "IniFile.h"
#include "LocalKestaro.h"
#include "MessageBoxes.h"
#include "ScriptedServer.h"
#include "StyleSwitch.h"
#include "TempDir.h"
#include "TrayIcon.h"
#include "WindowColours.h"
#include "WindowTest.h"
#include "ZelvanConfig.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

namespace {

std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each test has its own configuration file and its own XDG_CONFIG_HOME, and leaves the plain
// look behind.
class SettingsDialog : public TWindowTest {
protected:
    void SetUp() override {
        TWindowTest::SetUp();
        FOldConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(FDir.File("config")));
    }
    void TearDown() override {
        qputenv("XDG_CONFIG_HOME", FOldConfigHome);
        TStyleSwitch::SetStyle(QStringLiteral("Windows"));
        TWindowTest::TearDown();
    }
    std::string Entry() const { return FDir.File("config/autostart/KestaroZelvan.desktop"); }
    QString Saved(const char* ASection, const char* AKey) const {
        return TIniFile(QString::fromStdString(Ini())).ReadString(ASection, AKey, "<none>");
    }

    QByteArray FOldConfigHome;
};

}  // namespace

TEST_F(SettingsDialog, SaveTrimsAndReadsNumbersByTheFilesRule) {
    const struct {
        const char *Host, *Port, *Password, *Interval;
        const char *SavedHost, *SavedPort, *SavedPassword, *SavedInterval;
    } cases[] = {
        {" 10.0.0.5\t", " 8080", "  pass word ", "0", "10.0.0.5", "8080", "pass word", "0"},
        {"h", "8080 ", "", "abc", "h", "80", "", "10"},
        {"", "80a", "x", "", "", "80", "x", "10"},
        {"h", "", "x", "$1E", "h", "80", "x", "30"},
    };
    for (const auto& c : cases) {
        TFrmSettings dialog;
        dialog.EdtHost->setText(c.Host);
        dialog.EdtPort->setText(c.Port);
        dialog.EdtPassword->setText(c.Password);
        dialog.EdtInterval->setText(c.Interval);
        dialog.ChkSound->setChecked(false);
        dialog.BtnSave->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(Saved("Connection", "ServerHost"), c.SavedHost) << c.Host;
        EXPECT_EQ(Saved("Connection", "ServerPort"), c.SavedPort) << c.Port;
        EXPECT_EQ(Saved("Connection", "Password"), c.SavedPassword) << c.Password;
        EXPECT_EQ(Saved("Options", "PollInterval"), c.SavedInterval) << c.Interval;
        EXPECT_EQ(Saved("Options", "SoundEnabled"), "0");
        EXPECT_EQ(Saved("Options", "AutoStartWithWindows"), "0");
    }
    EXPECT_TRUE(FBoxes.Shown.empty());
}

TEST_F(SettingsDialog, StyleItemFollowsTheNameAndSaveWritesItBackAndSwitches) {
    const struct {
        const char* InFile;
        int Index;
        const char* Written;
    } cases[] = {
        {"windows10 DARK", 1, "Windows10 Dark"},  {"WINDOWS", 2, "Windows"},
        {"Windows10  Dark", 0, "Windows10 Blue"}, {"Something else", 0, "Windows10 Blue"},
        {"Windows10 Blue", 0, "Windows10 Blue"},
    };
    TFrmMainZelvan w;  // an open window takes each new style's colours at once
    for (const auto& c : cases) {
        std::ofstream(Ini()) << "[Display]\nStyleName=" << c.InFile << "\n";
        TFrmSettings dialog;
        EXPECT_EQ(dialog.CmbTheme->currentIndex(), c.Index) << c.InFile;
        dialog.BtnSave->click();
        EXPECT_EQ(Saved("Display", "StyleName"), c.Written) << c.InFile;
        EXPECT_EQ(TStyleSwitch::Active(), c.Written) << "switched at once";
        EXPECT_EQ(w.PnlTop->palette().color(QPalette::Window), TWindowColours::Current().TopBar);
    }
}

TEST_F(SettingsDialog, StartAtLoginEntryIsWrittenRewrittenAndRemoved) {
    {
        TFrmSettings dialog;
        EXPECT_FALSE(dialog.ChkAutoStart->isChecked());
        EXPECT_FALSE(dialog.ChkAutoStart->text().contains(QStringLiteral("ويندوز")))
            << "here the program starts with the desktop session";
        dialog.ChkAutoStart->setChecked(true);
        dialog.BtnSave->click();
    }
    const std::string exec =
        "Exec=\"" + QCoreApplication::applicationFilePath().toStdString() + "\"\n";
    EXPECT_NE(ReadFile(Entry()).find(exec), std::string::npos);
    EXPECT_EQ(Saved("Options", "AutoStartWithWindows"), "1");

    // Another copy's entry is that copy's: shown unticked, kept by an unticked save, replaced
    // by a ticked one.
    const std::string other = "[Desktop Entry]\nExec=\"/elsewhere/kestaro-zelvan\"\n";
    std::ofstream(Entry()) << other;
    for (const bool tick : {false, true}) {
        TFrmSettings dialog;
        EXPECT_FALSE(dialog.ChkAutoStart->isChecked()) << "another copy's entry shown as ours";
        dialog.ChkAutoStart->setChecked(tick);
        dialog.BtnSave->click();
        if (!tick) {
            EXPECT_EQ(ReadFile(Entry()), other) << "another copy's entry removed";
        }
    }
    EXPECT_NE(ReadFile(Entry()).find(exec), std::string::npos) << "pointed at this program";
    EXPECT_TRUE(TFrmSettings().ChkAutoStart->isChecked());
    {
        TFrmSettings dialog;
        dialog.ChkAutoStart->setChecked(false);
        dialog.BtnSave->click();
    }
    EXPECT_FALSE(std::filesystem::exists(Entry()));
    EXPECT_TRUE(FBoxes.Shown.empty());
}

// The entry is checked by the desktop's own tools: desktop-file-validate, and GLib's launcher,
// which must start the very program from a folder whose name needs quoting.
TEST_F(SettingsDialog, StartAtLoginEntryStartsTheProgramFromAnyFolder) {
    for (const char* folder :
         {"plain", "a b", "q\"uo'te", "$HOME `x` \\back", "100%u %%", "برنامج المدرسة"}) {
        const std::filesystem::path dir = std::filesystem::path(FDir.File("programs")) / folder;
        std::filesystem::create_directories(dir);
        const std::string program = (dir / "kestaro-zelvan").string();
        const std::string launched = FDir.File("launched.txt");
        std::ofstream(program) << "#!/bin/sh\nprintf %s \"$0\" > '" << launched << "'\n";
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        std::filesystem::remove(launched);
        ASSERT_EQ(TAutoStart::Set(true, program), TAutoStart::TResult::Done);
        EXPECT_EQ(std::system(("desktop-file-validate '" + Entry() + "'").c_str()), 0) << folder;
        ASSERT_EQ(std::system(("gio launch '" + Entry() + "' 2>&1").c_str()), 0) << folder;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !ReadFile(launched).empty(); }, 5000));
        EXPECT_EQ(ReadFile(launched), program) << folder;
    }
}

TEST_F(SettingsDialog, EachBoxIsSavedFromItsOwnState) {
    for (const bool sound : {false, true})
        for (const bool login : {false, true}) {
            {
                TFrmSettings dialog;
                dialog.ChkSound->setChecked(sound);
                dialog.ChkAutoStart->setChecked(login);
                dialog.BtnSave->click();
            }
            EXPECT_EQ(Saved("Options", "SoundEnabled"), sound ? "1" : "0");
            EXPECT_EQ(Saved("Options", "AutoStartWithWindows"), login ? "1" : "0");
            EXPECT_EQ(std::filesystem::exists(Entry()), login);
            TFrmSettings again;
            EXPECT_EQ(again.ChkSound->isChecked(), sound);
            EXPECT_EQ(again.ChkAutoStart->isChecked(), login);
        }
}

TEST_F(SettingsDialog, TheEntryFollowsTheBaseDirectoryRules) {
    std::filesystem::create_directories(std::filesystem::path(Entry()).parent_path());
    EXPECT_FALSE(TFrmSettings().ChkAutoStart->isChecked()) << "a folder without the entry";

    // A relative XDG_CONFIG_HOME is to be ignored: the entry goes under $HOME/.config.
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(FDir.File("home")));
    qputenv("XDG_CONFIG_HOME", "relative/config");
    const auto result = TAutoStart::Set(true, "/opt/kestaro/kestaro-zelvan");
    const bool enabled = TAutoStart::IsEnabled("/opt/kestaro/kestaro-zelvan");
    qputenv("HOME", oldHome);
    EXPECT_EQ(result, TAutoStart::TResult::Done);
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(std::filesystem::exists(FDir.File("home/.config/autostart/KestaroZelvan.desktop")));
    EXPECT_FALSE(std::filesystem::exists("relative"));
}

TEST_F(SettingsDialog, AnEntryThatCannotBeWrittenStopsSaveBeforeTheFile) {
    std::filesystem::create_directories(Entry());  // a folder where the entry would go
    TFrmSettings dialog;
    dialog.ChkAutoStart->setChecked(true);
    dialog.BtnSave->click();
    ASSERT_EQ(FBoxes.Shown.size(), 1u);
    EXPECT_EQ(FBoxes.Shown[0].Text, "Failed to set data for 'KestaroZelvan'");
    EXPECT_NE(dialog.result(), QDialog::Accepted) << "the dialog stays open";
    EXPECT_FALSE(std::filesystem::exists(Ini()));
}

TEST_F(SettingsDialog, TestButtonReportsAndCancelChangesNothing) {
    TTempDir data;
    TLocalKestaro server(data.File("k.db"));
    TFrmSettings dialog;
    dialog.EdtHost->setText(" 127.0.0.1 ");
    dialog.EdtPort->setText(QString::number(server.Port()));
    dialog.EdtPassword->setText(" 2613\t");  // trimmed as Save trims it
    dialog.BtnTest->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.IsTesting(); }));
    dialog.EdtPassword->setText("wrong");
    dialog.BtnTest->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.IsTesting(); }));
    ASSERT_EQ(FBoxes.Shown.size(), 2u);
    EXPECT_EQ(FBoxes.Shown[0].Text,
              QStringLiteral("تم الاتصال بسيرفر Kestaro وتأكيد كلمة المرور بنجاح!"));
    EXPECT_EQ(FBoxes.Shown[1].Text,
              QStringLiteral("فشل الاتصال بالسيرفر:\r\nكلمة المرور غير صحيحة."));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    dialog.BtnCancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(std::filesystem::exists(Ini()));
    EXPECT_FALSE(std::filesystem::exists(Entry()));
}

TEST_F(SettingsDialog, EnterPressesTheFocusedButtonAndSaveOnlyFromElsewhere) {
    const struct {
        QPushButton* TFrmSettings::*Focus;  // none: the interval box has the focus
        int Result;
        std::size_t Boxes;
    } cases[] = {
        {&TFrmSettings::BtnCancel, QDialog::Rejected, 0},
        {&TFrmSettings::BtnTest, QDialog::Rejected, 1},  // the test's report, nothing saved
        {nullptr, QDialog::Accepted, 0},
    };
    for (const auto& c : cases) {
        FBoxes.Shown.clear();
        std::filesystem::remove(Ini());
        TFrmSettings dialog;
        dialog.EdtHost->setText("127.0.0.1");
        dialog.EdtPort->setText("1");  // nothing listens there: the test fails at once
        dialog.EdtInterval->setText("7");
        dialog.setResult(QDialog::Rejected);
        QWidget* focus = c.Focus ? static_cast<QWidget*>(dialog.*c.Focus) : dialog.EdtInterval;
        dialog.show();
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.IsTesting(); }));
        EXPECT_EQ(dialog.result(), c.Result) << focus->objectName().toStdString();
        EXPECT_EQ(FBoxes.Shown.size(), c.Boxes);
        EXPECT_EQ(std::filesystem::exists(Ini()), c.Result == QDialog::Accepted);
    }
}

TEST_F(SettingsDialog, OkMakesTheMainWindowTakeTheValuesOverWithOneBusyPoll) {
    TScriptedServer server;
    server.Route("/api/login",
                 [](const auto&) { return TScriptedServer::TReply(200, R"({"token":"t"})"); });
    server.SetFallback({200, "{}"});
    PointAt(server.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    const int polls = server.CountRequests("/api/certificates/requests/count");

    for (const bool save : {false, true}) {
        bool busy = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TFrmSettings*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->EdtInterval->setText("7");
            dialog->ChkSound->setChecked(false);
            (save ? dialog->BtnSave : dialog->BtnCancel)->click();
        });
        w.BtnSettings->click();
        busy = QApplication::overrideCursor() != nullptr;
        WaitForCycle(w);
        EXPECT_EQ(w.PollInterval(), save ? 7 : 10);
        EXPECT_EQ(w.SoundEnabled(), !save);
        EXPECT_EQ(busy, save) << "a poll with the busy cursor follows OK only";
        EXPECT_EQ(server.CountRequests("/api/certificates/requests/count"), polls + int(save));
    }
}

// The authority's file that [Connection] CaFile names, a relative name taken from the file's own
// folder, reaches the transport at start and, changed in the file, again after a save.
TEST_F(SettingsDialog, TheAuthorityFileReachesTheTransportAtStartAndAfterASave) {
    std::ofstream(Ini()) << "[Connection]\nServerHost=127.0.0.1\nServerPort=1\nCaFile=school.pem\n";
    TFrmMainZelvan w;
    EXPECT_EQ(THttpTransport::CaFile(), FDir.File("school.pem"));
    const std::string other = FDir.File("other.pem");
    TIniFile(QString::fromStdString(Ini()))
        .WriteString(ConfigKeys::Connection, ConfigKeys::CaFile, QString::fromStdString(other));
    QTimer::singleShot(0, [] {
        qobject_cast<TFrmSettings*>(QApplication::activeModalWidget())->BtnSave->click();
    });
    w.BtnSettings->click();
    EXPECT_EQ(THttpTransport::CaFile(), other);
    THttpTransport::SetCaFile({});
}

// The reminder's choice shows the file's value, one of its own included, and is saved as chosen.
TEST_F(SettingsDialog, TheReminderShowsTheFilesMinutesAndSavesTheChoice) {
    const struct {
        const char* File;
        const char* Shown;
        int Choose;  // -1: as shown
        const char* Saved;
    } cases[] = {{"", "بدون تذكير", 15, "ReminderMinutes=15"},
                 {"ReminderMinutes=-3\n", "بدون تذكير", -1, "ReminderMinutes=0"},
                 {"ReminderMinutes=ten\n", "بدون تذكير", -1, "ReminderMinutes=0"},
                 {"ReminderMinutes=10\n", "كل 10 دقائق", -1, "ReminderMinutes=10"},
                 {"ReminderMinutes=60\n", "كل 60 دقيقة", 0, "ReminderMinutes=0"}};
    for (const auto& c : cases) {
        std::ofstream(Ini()) << "[Options]\n" << c.File;
        TFrmSettings dialog;
        EXPECT_EQ(dialog.CmbReminder->currentText(), QString::fromUtf8(c.Shown)) << c.File;
        if (c.Choose >= 0)
            dialog.CmbReminder->setCurrentIndex(dialog.CmbReminder->findData(c.Choose));
        dialog.BtnSave->click();
        std::ifstream file(Ini());
        const std::string text((std::istreambuf_iterator<char>(file)), {});
        EXPECT_NE(text.find(c.Saved), std::string::npos) << c.File << text;
    }
}

// Stands in for Qt's own balloon (a private class), which it draws where the desktop has no
// notification service: the style sheets pick it by its class name.
class QBalloonTip : public QWidget {
    Q_OBJECT
};

// Every text both visual styles draw, against the background it is drawn on; the frames of the
// check boxes and edit boxes against the dialog.
TEST_F(SettingsDialog, EveryTextReadsAtAContrastOfFourAndAHalf) {
    const auto luminance = [](const QColor& AColour) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(AColour.redF()) + 0.7152 * channel(AColour.greenF()) +
               0.0722 * channel(AColour.blueF());
    };
    const auto contrast = [&](const QColor& A, const QColor& B) {
        const double a = luminance(A) + 0.05, b = luminance(B) + 0.05;
        return std::max(a, b) / std::min(a, b);
    };
    for (const char* style : {"Windows10 Blue", "Windows10 Dark"}) {
        ASSERT_TRUE(TStyleSwitch::SetStyle(style));
        const QPalette p = QApplication::palette();
        const TWindowColours& c = TWindowColours::Current();
        QBalloonTip balloon;
        auto* balloonText = new QLabel("x", &balloon);
        balloon.ensurePolished();
        balloonText->ensurePolished();
        TFrmSettings dialog;
        dialog.show();
        const QImage shot = dialog.grab().toImage();
        const auto pixel = [&](QWidget* AControl, QPoint APoint) {
            return shot.pixelColor(AControl->mapTo(&dialog, APoint));
        };
        QStyleOptionButton box;
        box.initFrom(dialog.ChkSound);
        const QRect mark =
            dialog.ChkSound->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &box);
        const QColor checkFrame = pixel(dialog.ChkSound, {mark.left(), mark.center().y()});
        const QColor editFrame = pixel(dialog.EdtHost, {0, dialog.EdtHost->height() / 2});
        EXPECT_GE(contrast(checkFrame, c.DialogContent), 3.0) << style << ": check box frame";
        EXPECT_GE(contrast(editFrame, c.DialogContent), 3.0) << style << ": edit box frame";
        const QColor button = p.color(QPalette::Button), base = p.color(QPalette::Base);
        const struct {
            const char* What;
            QColor Text, Back;
        } pairs[] = {
            {"window text", p.color(QPalette::WindowText), p.color(QPalette::Window)},
            {"list text", p.color(QPalette::Text), base},
            {"list text, other rows", p.color(QPalette::Text), p.color(QPalette::AlternateBase)},
            {"button text", p.color(QPalette::ButtonText), button},
            {"selected row", p.color(QPalette::HighlightedText), p.color(QPalette::Highlight)},
            {"search hint", p.color(QPalette::PlaceholderText), base},
            {"title", c.Title, c.TopBar},
            {"idle status", c.IdleText, c.TopBar},
            {"connected", c.ConnectedText, c.TopBar},
            {"not connected", c.NotConnectedText, c.TopBar},
            {"sound on", c.SoundOn, button},
            {"sound off", c.SoundOff, button},
            {"complete", c.Complete, button},
            {"pending box", c.PendingText, c.Pending},
            {"pending box, current", c.PendingText, c.PendingCurrent},
            {"completed box", c.CompletedText, c.Completed},
            {"completed box, current", c.CompletedText, c.CompletedCurrent},
            {"total box", c.TotalText, c.Total},
            {"total box, current", c.TotalText, c.TotalCurrent},
            {"pending row", c.PendingRow, base},
            {"dialog title", c.Title, c.DialogHeader},
            {"dialog labels", p.color(QPalette::WindowText), c.DialogContent},
            {"tooltip", p.color(QPalette::ToolTipText), p.color(QPalette::ToolTipBase)},
            {"tray balloon", balloonText->palette().color(QPalette::WindowText), 0xFFFFE1},
        };
        for (const auto& pair : pairs)
            EXPECT_GE(contrast(pair.Text, pair.Back), 4.5) << style << ": " << pair.What;
    }
}

#include "SettingsDialogTest.moc"
