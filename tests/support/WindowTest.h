#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <QItemSelectionModel>
#include <QTest>

#include "Alerts.h"
#include "ListView.h"
#include "MessageBoxes.h"
#include "TempDir.h"
#include "TrayIcon.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

// A test of the windows: its own configuration file in a temporary folder, a tray that is there,
// message boxes and alerts recorded instead of shown or sounded.
class TWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TFrmSettings::SetIniPathForTesting(QString::fromStdString(Ini()));
        TTrayIcon::SetAvailableForTesting(true);
    }
    void TearDown() override {
        TFrmSettings::SetIniPathForTesting({});
        TTrayIcon::SetAvailableForTesting(std::nullopt);
    }

    std::string Ini() const { return FDir.File("kestaro-zelvan.ini"); }
    void PointAt(int APort, const std::string& APassword = "2613") {
        std::ofstream(Ini()) << "[Connection]\nServerHost=127.0.0.1\nServerPort=" << APort
                             << "\nPassword=" << APassword << "\n";
    }
    static void Select(TFrmMainZelvan& AWindow, int ARow) {
        AWindow.LvRequests->selectionModel()->select(
            AWindow.LvRequests->model()->index(ARow, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    static void WaitForCycle(const TFrmMainZelvan& AWindow) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !AWindow.IsPolling() && !AWindow.IsChanging(); }, 20000));
    }

    TTempDir FDir;
    TMessageBoxes::TRecorder FBoxes;
    TAlerts::TRecorder FAlerts;
};
