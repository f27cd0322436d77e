#include <gtest/gtest.h>

#include <thread>

#include <memory>

#include <atomic>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include "MessageBoxes.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "StyleSwitch.h"
#include "TempDir.h"
#include "uSettingsForm.h"

namespace {

// Writes the style name into the file (or removes the file for nothing), then runs start-up.
QString ApplyStartupStyleFor(const QString& AIni, const char* AStyle) {
    std::filesystem::remove(AIni.toStdString());
    if (AStyle) std::ofstream(AIni.toStdString()) << "[Display]\nStyleName=" << AStyle << "\n";
    return ApplyStyleAtStartup(AIni);
}

}  // namespace

TEST(StyleSwitch, SwitchesByNameWithoutRegardToCase) {
    TMessageBoxes::TRecorder boxes;
    EXPECT_TRUE(TStyleSwitch::SetStyle("windows10 DARK"));
    EXPECT_EQ(TStyleSwitch::Active(), "Windows10 Dark");
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    const QColor dark = QApplication::palette().color(QPalette::Window);

    EXPECT_FALSE(TStyleSwitch::SetStyle("Windows11 Pink"));
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Kind, TMessageBoxes::TKind::CloseError);
    EXPECT_EQ(boxes.Shown[0].Text, "Style 'Windows11 Pink' not found");
    EXPECT_EQ(TStyleSwitch::Active(), "Windows10 Dark") << "the look in effect stays";
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), dark);
    EXPECT_FALSE(TStyleSwitch::SetStyle("", false));
    EXPECT_EQ(boxes.Shown.size(), 1u) << "no box when errors are not reported";

    EXPECT_TRUE(TStyleSwitch::SetStyle("Windows10 Blue"));
    EXPECT_NE(QApplication::palette().color(QPalette::Window), dark);
    EXPECT_TRUE(TStyleSwitch::SetStyle("WINDOWS"));
    EXPECT_EQ(TStyleSwitch::Active(), "Windows");
    EXPECT_TRUE(qApp->styleSheet().isEmpty()) << "the plain look has no style sheet";
}

TEST(Startup, TheToolkitsOwnButtonsReadInArabic) {
    ASSERT_TRUE(InstallToolkitTranslation()) << "qtbase_ar.qm (qt6-translations-l10n) is missing";
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "OK"), "OK");
}

TEST(StartupStyle, TheFilesStyleIsAppliedBeforeTheWindowExists) {
    TTempDir dir;
    const std::string ini = dir.File("kestaro-zelvan.ini");
    const QString iniQ = QString::fromStdString(ini);
    TMessageBoxes::TRecorder boxes;

    EXPECT_EQ(ApplyStartupStyleFor(iniQ, nullptr), "Windows10 Blue") << "no file: the default";
    EXPECT_EQ(TStyleSwitch::Active(), "Windows10 Blue");
    EXPECT_FALSE(std::filesystem::exists(ini)) << "start-up creates nothing on disk";

    for (const char* plain : {"Windows", ""}) {
        TStyleSwitch::SetStyle("Windows10 Dark");
        EXPECT_EQ(ApplyStartupStyleFor(iniQ, plain), plain);
        EXPECT_EQ(TStyleSwitch::Active(), "Windows10 Dark") << "no style is asked for: " << plain;
    }
    EXPECT_EQ(ApplyStartupStyleFor(iniQ, "windows10 blue"), "windows10 blue");
    EXPECT_EQ(TStyleSwitch::Active(), "Windows10 Blue");
    EXPECT_TRUE(boxes.Shown.empty());

    // "windows" is not exactly "Windows": it is asked for, and the switch knows it.
    EXPECT_EQ(ApplyStartupStyleFor(iniQ, "windows"), "windows");
    EXPECT_EQ(TStyleSwitch::Active(), "Windows");

    ApplyStartupStyleFor(iniQ, "Aqua");
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, "Style 'Aqua' not found");
    EXPECT_EQ(TStyleSwitch::Active(), "Windows");
}

TEST(SingleInstance, ASecondCopyWithTheSameFileShowsTheFirst) {
    TTempDir dir;
    const QString ini = QString::fromStdString(dir.File("kestaro-zelvan.ini"));
    TSingleInstance first(ini);
    ASSERT_TRUE(first.Claim());
    QSignalSpy shown(&first, &TSingleInstance::ShowRequested);

    TSingleInstance second(ini);
    EXPECT_FALSE(second.Claim());
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.count() == 1; }));

    TSingleInstance elsewhere(QString::fromStdString(dir.File("other/kestaro-zelvan.ini")));
    EXPECT_TRUE(elsewhere.Claim()) << "a copy with another file runs side by side";
}

// Another user's copy, with the same file, has a socket of its own: in each user's own runtime
// folder, which nobody else can read or write.
TEST(SingleInstance, EachUserHasAChannelOfHisOwn) {
    TTempDir dir;
    const QString ini = QString::fromStdString(dir.File("kestaro-zelvan.ini"));
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QString names[2];
    for (int user = 0; user < 2; ++user) {
        const std::string folder = dir.File("run-" + std::to_string(user));
        std::filesystem::create_directory(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder));
        names[user] = TSingleInstance(ini).Name();
        EXPECT_TRUE(names[user].startsWith(QString::fromStdString(folder) + u'/'));
    }
    qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_NE(names[0], names[1]);
}

// An installer's "--quit": the running copy is asked to end, and the asker learns when it has.
TEST(SingleInstance, ACopyAskedToQuitEndsAndTheAskerKnows) {
    TTempDir dir;
    const QString ini = QString::fromStdString(dir.File("kestaro-zelvan.ini"));
    EXPECT_EQ(TSingleInstance(ini).AskToQuit(100), TSingleInstance::TQuit::NoneRunning);
    auto running = std::make_unique<TSingleInstance>(ini);
    ASSERT_TRUE(running->Claim());
    QObject::connect(running.get(), &TSingleInstance::QuitRequested, [&] { running.reset(); });
    std::atomic<int> answer = -1;
    std::thread installer([&] { answer = int(TSingleInstance(ini).AskToQuit(5000)); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer >= 0; }, 10000));
    installer.join();
    EXPECT_EQ(answer, int(TSingleInstance::TQuit::Ended));
    EXPECT_EQ(running, nullptr);
}

TEST(SingleInstance, ALeftoverSocketOfAnEndedCopyDoesNotBlock) {
    TTempDir dir;
    const QString ini = QString::fromStdString(dir.File("k.ini"));
    {
        TSingleInstance ended(ini);
        ASSERT_TRUE(ended.Claim());
    }
    TSingleInstance next(ini);
    EXPECT_TRUE(next.Claim());
}

TEST(SingleInstance, ACopyThatWasKilledLeavesNoLockBehind) {
    TTempDir dir;
    const QString ini = QString::fromStdString(dir.File("k.ini"));
    // A copy killed outright leaves its socket file; nothing of it answers there any more.
    const pid_t killed = fork();
    ASSERT_GE(killed, 0);
    if (killed == 0) {
        TSingleInstance copy(ini);
        copy.Claim();
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(killed, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    TSingleInstance next(ini);
    EXPECT_TRUE(next.Claim()) << "the next copy becomes the one instance";
    QSignalSpy shown(&next, &TSingleInstance::ShowRequested);
    TSingleInstance third(ini);
    EXPECT_FALSE(third.Claim());
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.count() == 1; })) << "and shows its window";
}

TEST(SettingsForm, LoadConfigFormsReadTheSameFile) {
    TTempDir dir;
    const QString ini = QString::fromStdString(dir.File("k.ini"));
    TFrmSettings::SetIniPathForTesting(ini);
    EXPECT_EQ(TFrmSettings::GetIniPath(), ini);
    QString host, style, password;
    std::int32_t port = 0, interval = 0;
    bool sound = false;
    TFrmSettings::LoadConfig(host, port, interval, sound, style, password);
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 80);
    EXPECT_EQ(interval, 10);
    EXPECT_TRUE(sound);
    EXPECT_EQ(style, "Windows10 Blue");
    EXPECT_EQ(password, "2613");
    TFrmSettings::LoadConfig(host, port, interval, sound, style);
    TFrmSettings::LoadConfig(host, port, interval, sound);
    EXPECT_EQ(port, 80);
    TFrmSettings::SetIniPathForTesting({});
    EXPECT_TRUE(TFrmSettings::GetIniPath().endsWith("gui_tests.ini"));
}

// A box with a short text still shows its whole title, the program's name.
TEST(MessageBoxes, AShortMessageShowsTheWholeTitle) {
    int width = 0, needed = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QFont bold = box->font();
        bold.setBold(true);
        needed = QFontMetrics(bold).horizontalAdvance(box->windowTitle());
        width = box->width();
        box->accept();
    });
    TMessageBoxes::ShowMessage(nullptr, QStringLiteral("تم."));
    EXPECT_GT(width, needed + 100);
}
