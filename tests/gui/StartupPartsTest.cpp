#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include "MessageBoxes.h"
#include "SingleInstance.h"
#include "StyleSwitch.h"
#include "TempDir.h"
#include "uSettingsForm.h"

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
