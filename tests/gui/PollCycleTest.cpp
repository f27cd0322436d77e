#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "Alerts.h"
#include "HttpTransport.h"
#include "IniFile.h"
#include "ListView.h"
#include "LocalKestaro.h"
#include "MessageBoxes.h"
#include "RawServer.h"
#include "SampleRequests.h"
#include "ScriptedServer.h"
#include "Shape.h"
#include "Startup.h"
#include "StyleSwitch.h"
#include "TempDir.h"
#include "TrayIcon.h"
#include "WindowColours.h"
#include "WindowTest.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

namespace {

using TReply = TScriptedServer::TReply;

class TScriptedKestaro;

class PollCycle : public TWindowTest {
protected:
    // AButton pressed on the first two rows while the server holds the changes: the first is on
    // its way, the second waits behind it.
    static void TwoChangesWait(TScriptedKestaro& AServer, TFrmMainZelvan& AWindow,
                               QPushButton* AButton);
    static void Refresh(TFrmMainZelvan& AWindow) {
        AWindow.BtnRefresh->click();
        WaitForCycle(AWindow);
    }
};

// A server whose counts reply the test sets, and whose counts route can be held back.
class TScriptedKestaro {
public:
    TScriptedKestaro() {
        FServer.Route("/api/login", [](const auto&) { return TReply(200, R"({"token":"t"})"); });
        FServer.Route("/api/certificates/requests", [this](const auto&) {
            const std::lock_guard lock(FMutex);
            if (FCountsBackWithTheList) FCountsStatus = 200;
            return FList;
        });
        FServer.Route("/api/certificates/requests/update-status", [this](const auto&) {
            std::unique_lock lock(FMutex);
            const int index = FChangesArrived++;
            FHeld.wait_for(lock, std::chrono::seconds(20),
                           [&] { return index < FChangesLetThrough; });
            return FChangeReply;
        });
        FServer.Route("/api/certificates/requests/count", [this](const auto&) {
            std::unique_lock lock(FMutex);
            FHeld.wait_for(lock, std::chrono::seconds(20), [this] { return !FHolding; });
            return TReply(FCountsStatus, FCounts);
        });
    }
    ~TScriptedKestaro() {
        Hold(false);
        HoldChanges(false);
    }
    int Port() const { return FServer.Port(); }
    int CountRequests() const { return FServer.CountRequests("/api/certificates/requests/count"); }
    int ListRequests() const { return FServer.CountRequests("/api/certificates/requests"); }
    int ChangeRequests() const {
        return FServer.CountRequests("/api/certificates/requests/update-status");
    }
    void SetCounts(std::string ABody) {
        const std::lock_guard lock(FMutex);
        FCounts = std::move(ABody);
    }
    void SetCountsStatus(int AStatus) {
        const std::lock_guard lock(FMutex);
        FCountsStatus = AStatus;
    }
    // The ids of the status changes that arrived, in order.
    std::vector<std::string> ChangedIds() const {
        std::vector<std::string> ids;
        for (const auto& r : FServer.Requests())
            if (r.Target == "/api/certificates/requests/update-status")
                ids.push_back(r.Body.substr(6, r.Body.find(',') - 6));
        return ids;
    }
    void SetCounts(int AMaxID, int ANewCount) {
        SetCounts(R"({"pending":3,"completed":4,"total":7,"max_id":)" + std::to_string(AMaxID) +
                  R"(,"new_count":)" + std::to_string(ANewCount) + "}");
    }
    void Hold(bool AHolding) {
        const std::lock_guard lock(FMutex);
        FHolding = AHolding;
        FHeld.notify_all();
    }

    // Holding, the changes that arrive from now on wait until they are let through.
    void HoldChanges(bool AHolding) {
        const std::lock_guard lock(FMutex);
        FChangesLetThrough = AHolding ? FChangesArrived : std::numeric_limits<int>::max();
        FHeld.notify_all();
    }
    void LetOneChangeThrough() {
        const std::lock_guard lock(FMutex);
        ++FChangesLetThrough;
        FHeld.notify_all();
    }
    void SetChangeReply(TReply AReply) {
        const std::lock_guard lock(FMutex);
        FChangeReply = std::move(AReply);
    }
    void SetList(TReply AReply) {
        const std::lock_guard lock(FMutex);
        FList = std::move(AReply);
    }
    // The server comes back between the counts and the list: the list's reply makes the counts
    // answer again.
    void BringCountsBackWithTheList() {
        const std::lock_guard lock(FMutex);
        FCountsBackWithTheList = true;
    }

private:
    std::mutex FMutex;
    std::condition_variable FHeld;
    bool FHolding = false;
    int FChangesArrived = 0;
    int FChangesLetThrough = std::numeric_limits<int>::max();
    TReply FChangeReply{200, R"({"success":true})"};
    TReply FList{200, R"([{"id":5,"student_name":"x","status":"pending"},)"
                      R"({"id":6,"student_name":"y","status":"pending"}])"};
    bool FCountsBackWithTheList = false;
    std::string FCounts = "{}";
    int FCountsStatus = 200;
    // Last, so that it stops, and its handlers are done, before what they read is gone.
    TScriptedServer FServer;
};

// The tray icon is grey where it says the server is not known to be reached: no colour in it
// but the red of the pending badge.
bool TrayIconIsGrey(const TFrmMainZelvan& AWindow) {
    const QImage icon = AWindow.TrayIcon->Icon().pixmap(32, 32).toImage();
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x) {
            const QColor c = icon.pixelColor(x, y);
            const bool badge = c.hue() < 20 || c.hue() > 340;
            if (c.alpha() > 0 && c.saturation() > 60 && !badge) return false;
        }
    return true;
}

// Runs the event loop until the program is told to end: its exit code, or 1 when it is not told
// within fifteen seconds.
int RunUntilTheProgramEnds() {
    QTimer guard;  // not a wait: ends a loop that would otherwise run on
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(15000);
    return QApplication::exec();
}

void PollCycle::TwoChangesWait(TScriptedKestaro& AServer, TFrmMainZelvan& AWindow,
                               QPushButton* AButton) {
    AServer.HoldChanges(true);
    for (const int row : {0, 1}) {
        Select(AWindow, row);
        AButton->click();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return AServer.ChangeRequests() == 1; }, 10000));
}

std::string SelectedId(const TFrmMainZelvan& AWindow) {
    return AWindow.LvRequests->selectionModel()->selectedRows()[0].data().toString().toStdString();
}

QColor TextColour(const QLabel* ALabel) {
    return ALabel->palette().color(QPalette::WindowText);
}

// The indicator's circle as it is painted.
QColor CircleColour(const TFrmMainZelvan& AWindow) {
    const QImage image = AWindow.ShapeStatus->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

}  // namespace

TEST_F(PollCycle, AlertsOnlyForNewRequestsAboveAKnownMaxId) {
    TScriptedKestaro server;
    server.SetCounts(7, 3);
    PointAt(server.Port());
    TFrmMainZelvan w;
    QSignalSpy balloons(w.TrayIcon, &TTrayIcon::BalloonShown);
    WaitForCycle(w);
    EXPECT_EQ(w.LblCountPending->text(), QStringLiteral("في الانتظار: 3"));
    EXPECT_EQ(w.LblCountTotal->text(), QStringLiteral("الإجمالي: 7"));

    const struct {
        int MaxID, NewCount;
        bool SoundOn;
        int Sounds, Alerts, LastSeen;
    } steps[] = {
        {7, 3, true, 0, 0, 7},     // the first cycle is silent whatever it reports
        {9, 2, true, 1, 1, 9},     // above the max id seen, with new requests
        {5, 1, true, 1, 1, 9},     // a lower max id (requests deleted) changes nothing
        {12, 0, true, 1, 1, 12},   // no new request: the max id is taken silently
        {14, 1, false, 1, 2, 14},  // sound off: flash and balloon, no sound
    };
    for (const auto& s : steps) {
        if (w.SoundEnabled() != s.SoundOn) w.BtnSound->click();
        server.SetCounts(s.MaxID, s.NewCount);
        Refresh(w);
        EXPECT_EQ(FAlerts.Sounds, s.Sounds) << s.MaxID;
        EXPECT_EQ(FAlerts.Flashes, s.Alerts) << s.MaxID;
        EXPECT_EQ(balloons.count(), s.Alerts) << s.MaxID;
        EXPECT_EQ(w.LastSeenMaxID(), s.LastSeen) << s.MaxID;
    }
    ASSERT_GE(balloons.count(), 1);
    EXPECT_EQ(balloons[0][0].toString(), QStringLiteral("📜 طلب شهادة مدرسية جديد!"));
    EXPECT_EQ(balloons[0][1].toString(),
              QStringLiteral("ورد 2 طلب جديد في قائمة الانتظار بأمانة المدير."));
}

TEST_F(PollCycle, SoundToggleSoundsWhenTurnedOnAndIsWrittenToTheFile) {
    TFrmMainZelvan w;  // no file yet: the toggle creates it
    WaitForCycle(w);
    w.BtnSound->click();
    EXPECT_EQ(FAlerts.Sounds, 0);
    EXPECT_EQ(TIniFile(QString::fromStdString(Ini())).ReadString("Options", "SoundEnabled", ""),
              "0");
    w.BtnSound->click();
    EXPECT_EQ(FAlerts.Sounds, 1);
    EXPECT_EQ(TIniFile(QString::fromStdString(Ini())).ReadString("Options", "SoundEnabled", ""),
              "1");

    const QString unwritable = QString::fromStdString(FDir.File("missing/kestaro-zelvan.ini"));
    TFrmSettings::SetIniPathForTesting(unwritable);
    w.BtnSound->click();
    ASSERT_EQ(FBoxes.Shown.size(), 1u);
    EXPECT_EQ(FBoxes.Shown[0].Text, "Unable to write to " + unwritable);
    EXPECT_FALSE(w.SoundEnabled()) << "the new state holds for this run";
    EXPECT_EQ(w.BtnSound->text(), QStringLiteral("الصوت: مكتوم 🔕"));
}

TEST_F(PollCycle, IndicatorFollowsTheServerAndAFailedFetchKeepsTheList) {
    TTempDir data;
    auto server = std::make_unique<TLocalKestaro>(data.File("k.db"));
    server->Store().CreateMany(TSampleRequests(5).History(20));
    const int port = server->Port();
    const auto counts = server->Store().Counts(0);

    {
        PointAt(port, "wrong");
        TFrmMainZelvan w;
        WaitForCycle(w);
        EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("كلمة المرور غير صحيحة."));
        EXPECT_EQ(TextColour(w.LblStatusText), QColor(191, 30, 30));
        EXPECT_EQ(CircleColour(w), TWindowColours::Current().NotConnectedCircle);
        EXPECT_EQ(w.LblCountPending->text(), QStringLiteral("في الانتظار: 0"));
    }
    PointAt(port);
    TFrmMainZelvan w;
    WaitForCycle(w);
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("متصل بالسيرفر"));
    EXPECT_EQ(TextColour(w.LblStatusText), QColor(61, 128, 21));
    EXPECT_EQ(CircleColour(w), TWindowColours::Current().ConnectedCircle);
    // A style switch while connected keeps the connected state in the new style's colours.
    ASSERT_TRUE(TStyleSwitch::SetStyle("Windows10 Dark"));
    EXPECT_EQ(TextColour(w.LblStatusText), TWindowColours::Current().ConnectedText);
    EXPECT_EQ(CircleColour(w), TWindowColours::Current().ConnectedCircle);
    TStyleSwitch::SetStyle("Windows");
    EXPECT_EQ(w.LblCountPending->text(), QStringLiteral("في الانتظار: %1").arg(counts.Pending));
    EXPECT_EQ(w.LblCountCompleted->text(), QStringLiteral("منجزة: %1").arg(counts.Completed));
    EXPECT_EQ(w.AllRequests().size(), std::size_t(counts.Pending));

    server.reset();
    Refresh(w);
    EXPECT_EQ(w.LblStatusText->toolTip(),
              QStringLiteral(
                  "خطأ اتصال (0)\nالسيرفر رفض الاتصال: تأكد من تشغيل السيرفر ومن رقم المنفذ."));
    EXPECT_EQ(w.LblStatusText->text(), QStringLiteral("خطأ اتصال (0)")) << "the first line";
    EXPECT_EQ(w.LblCountPending->text(), QStringLiteral("في الانتظار: %1").arg(counts.Pending))
        << "the counters keep their texts";
    EXPECT_EQ(w.AllRequests().size(), std::size_t(counts.Pending)) << "the last good list stays";

    server = std::make_unique<TLocalKestaro>(data.File("k.db"), "2613", port);
    Refresh(w);
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("متصل بالسيرفر"));
}

TEST_F(PollCycle, OneCycleAtATimeWithTheBusyCursorOnlyWhenAskedAndNoFrozenWindow) {
    TScriptedKestaro server;
    server.SetCounts(5, 0);
    server.Hold(true);
    PointAt(server.Port());
    TFrmMainZelvan w;  // its first cycle waits on the server
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == 1; }, 10000));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    w.TimerPollTimer();  // a tick meanwhile is dropped, not queued
    w.BtnSound->click();
    EXPECT_EQ(w.BtnSound->text(), QStringLiteral("الصوت: مكتوم 🔕")) << "the window answers";
    server.Hold(false);
    WaitForCycle(w);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("متصل بالسيرفر"));

    server.Hold(true);
    w.TimerPollTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == 2; }, 10000));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "a timed cycle shows no busy cursor";
    w.BtnRefresh->click();  // returns at once; the change it stands for gets a cycle after this
    w.BtnRefresh->click();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(server.CountRequests(), 2);
    server.Hold(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == 3; }, 10000));
    WaitForCycle(w);
    QTest::qWait(50);
    EXPECT_EQ(server.CountRequests(), 3) << "one more cycle, however many calls came";
}

TEST_F(PollCycle, EndingWhileTheServerHangsDoesNotWaitForIt) {
    TRawServer silent("", true);
    PointAt(silent.Port());
    auto w = std::make_unique<TFrmMainZelvan>();
    QTest::qWait(200);
    ASSERT_TRUE(w->IsPolling());
    const auto start = std::chrono::steady_clock::now();
    w.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
        << "the transfer is called off, not waited out";
}

TEST_F(PollCycle, AnUnreadableReplyShowsOneErrorBoxAtATime) {
    TScriptedKestaro server;
    server.SetCounts("{\"pending\":\"\xff\"}");
    PointAt(server.Port());
    int cyclesUnderTheBox = 0;
    TFrmMainZelvan w;
    FBoxes.WhileShown = [&] {
        ++cyclesUnderTheBox;
        Refresh(w);  // the tick that comes while the box is open
    };
    WaitForCycle(w);
    EXPECT_EQ(cyclesUnderTheBox, 1);
    ASSERT_EQ(FBoxes.Shown.size(), 1u) << "the second failure came while the box was open";
    EXPECT_EQ(FBoxes.Shown[0].Kind, TMessageBoxes::TKind::Error);
    EXPECT_FALSE(w.IsPolling());
    EXPECT_EQ(server.ListRequests(), 0) << "the cycle ends with the error";
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("جاري الاتصال...")) << "left as it was";
}

TEST_F(PollCycle, OneRequestAddedIsAnnouncedAsOne) {
    TTempDir data;
    TLocalKestaro server(data.File("k.db"));
    server.Store().CreateMany(TSampleRequests(3).History(20));
    PointAt(server.Port());
    TFrmMainZelvan w;
    QSignalSpy balloons(w.TrayIcon, &TTrayIcon::BalloonShown);
    WaitForCycle(w);
    w.PnlBoxTotalClick();
    WaitForCycle(w);
    const auto id = server.Store().Create(TSampleRequests(4).Next("2026-12-09 10:00:00"));
    Refresh(w);
    ASSERT_EQ(balloons.count(), 1);
    EXPECT_EQ(balloons[0][1].toString(),
              QStringLiteral("ورد 1 طلب جديد في قائمة الانتظار بأمانة المدير."));

    // Clicking the balloon leads to the pending requests with the new one chosen.
    emit w.TrayIcon->BalloonClicked();
    WaitForCycle(w);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.CurrentFilter(), "pending");
    const QModelIndexList rows = w.LvRequests->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].data().toString(), QString::number(id));
}

// The cycle stops before the list, and the transport would call off a transfer started all the
// same: the test fails only when both guards are gone.
TEST_F(PollCycle, AWindowClosedDuringTheCountsAsksForNoList) {
    TScriptedKestaro server;
    server.SetCounts(5, 0);
    server.Hold(true);
    PointAt(server.Port());
    auto w = std::make_unique<TFrmMainZelvan>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == 1; }, 10000));
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server.Hold(false);
    });
    w.reset();
    release.join();
    QTest::qWait(300);
    EXPECT_EQ(server.ListRequests(), 0);
}

TEST_F(PollCycle, AChangeAskedForDuringACycleIsShownRightAfterIt) {
    TScriptedKestaro server;
    server.SetCounts(5, 0);
    std::ofstream(Ini()) << "[Connection]\nServerHost=127.0.0.1\nServerPort=" << server.Port()
                         << "\n[Options]\nPollInterval=60\n";
    TFrmMainZelvan w;
    WaitForCycle(w);
    for (QPushButton* button : {w.BtnRefresh, w.BtnComplete}) {
        const int before = server.CountRequests();
        server.Hold(true);
        w.TimerPollTimer();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == before + 1; }, 10000));
        Select(w, 0);
        button->click();
        server.Hold(false);
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == before + 2; }, 5000))
            << button->text().toStdString() << ": not left for the next tick a minute away";
        WaitForCycle(w);
    }
}

TEST_F(PollCycle, ACycleStillWaitingWhenTheNextIsDueSaysSo) {
    TScriptedKestaro server;
    server.SetCounts(5, 0);
    PointAt(server.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    server.Hold(true);
    w.TimerPollTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == 2; }, 10000));
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("متصل بالسيرفر"));
    w.TimerPollTimer();  // the next is due while this one waits
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("بانتظار رد السيرفر..."));
    EXPECT_EQ(CircleColour(w), TWindowColours::Current().IdleCircle);
    EXPECT_TRUE(w.TrayIcon->ToolTip().endsWith(QStringLiteral("بانتظار رد السيرفر...")));
    server.Hold(false);
    WaitForCycle(w);
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("متصل بالسيرفر"));
}

// A status change waiting on a server that does not answer: the window goes on answering, a
// second click asks nothing more, and closing the program does not wait for the server.
TEST_F(PollCycle, AnActionWaitingOnASilentServerHoldsNothingUp) {
    TScriptedKestaro server;
    server.SetCounts(5, 0);
    PointAt(server.Port());
    auto w = std::make_unique<TFrmMainZelvan>();
    WaitForCycle(*w);
    Select(*w, 0);
    server.HoldChanges(true);
    w->BtnComplete->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ChangeRequests() == 1; }, 10000));
    EXPECT_NE(QApplication::overrideCursor(), nullptr) << "busy while the change waits";
    w->BtnComplete->click();
    w->EdtSearch->setText("nobody");
    EXPECT_EQ(w->LvRequests->model()->rowCount(), 0) << "typing is not lost";
    w->BtnRefresh->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->IsPolling(); }, 10000)) << "polls go on";
    server.HoldChanges(false);
    WaitForCycle(*w);
    EXPECT_EQ(server.ChangeRequests(), 1) << "no second request for the second click";

    w->EdtSearch->clear();
    Select(*w, 0);
    server.HoldChanges(true);
    w->BtnRevert->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ChangeRequests() == 2; }, 10000));
    const auto start = std::chrono::steady_clock::now();
    w.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Changes asked while one waits are all sent, in order; the same change asked again is sent once.
TEST_F(PollCycle, ChangesAskedWhileOneWaitsAreQueuedAndNoneIsLost) {
    TScriptedKestaro server;
    server.SetCounts(6, 0);
    PointAt(server.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    server.HoldChanges(true);
    Select(w, 0);
    const std::string first = SelectedId(w);
    w.BtnComplete->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ChangeRequests() == 1; }, 10000));
    Select(w, 1);
    const std::string second = SelectedId(w);
    w.BtnComplete->click();
    w.BtnComplete->click();  // the same again: already on its way
    Select(w, 0);
    w.BtnComplete->click();  // the first, still waiting
    EXPECT_EQ(w.ChangesWaiting(), 2);
    EXPECT_TRUE(w.LblStatusText->toolTip().endsWith(QStringLiteral("قيد الإرسال إلى السيرفر: 2")));
    EXPECT_TRUE(w.TrayIcon->ToolTip().endsWith(QStringLiteral("قيد الإرسال إلى السيرفر: 2")));
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    server.HoldChanges(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.IsChanging(); }, 10000));
    WaitForCycle(w);
    EXPECT_EQ(server.ChangedIds(), (std::vector<std::string>{first, second}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("متصل بالسيرفر"));
    EXPECT_TRUE(FBoxes.Shown.empty());
}

// Once the server has failed, a cycle that hangs is no reason to look hopeful: the indicator
// stays red and the tray grey until the server answers, and then turns green at once.
TEST_F(PollCycle, AFailedServerThatHangsStaysNotConnectedUntilItAnswers) {
    TScriptedKestaro server;
    server.SetCounts(5, 0);
    PointAt(server.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    EXPECT_FALSE(TrayIconIsGrey(w));
    server.SetCountsStatus(503);
    w.TimerPollTimer();
    WaitForCycle(w);
    const QString failed = w.LblStatusText->toolTip();
    EXPECT_EQ(failed, QStringLiteral("خطأ اتصال (503)"));
    EXPECT_TRUE(TrayIconIsGrey(w));

    server.SetCountsStatus(200);
    server.Hold(true);
    const int before = server.CountRequests();
    w.TimerPollTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == before + 1; }, 10000));
    w.TimerPollTimer();  // the next is due while the server hangs
    EXPECT_EQ(w.LblStatusText->toolTip(), failed);
    EXPECT_EQ(CircleColour(w), TWindowColours::Current().NotConnectedCircle);
    EXPECT_TRUE(TrayIconIsGrey(w));
    server.Hold(false);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return w.LblStatusText->toolTip() == QStringLiteral("متصل بالسيرفر"); }, 5000));
    EXPECT_FALSE(TrayIconIsGrey(w));
}

// "خروج" while changes wait asks: waiting sends them all before the program ends, giving up the
// wait or leaving names what was not sent. Two changes wait on a server that holds them.
TEST_F(PollCycle, ExitWhileChangesWaitAsksThenWaitsOrLeavesNamingWhatIsLeft) {
    enum class TThen { ServerAnswers, WaitGivenUp, Left };
    const struct {
        bool Wait;
        TThen Then;
        int Sent;
        const char* LastBox;  // what the last box says, after the question
    } cases[] = {
        {true, TThen::ServerAnswers, 2, nullptr},
        {true, TThen::WaitGivenUp, 1, "لم يُرسل: إنجاز الطلب رقم 6 للتلميذ «y»"},
        {false, TThen::Left, 1, nullptr},
    };
    for (const auto& c : cases) {
        TScriptedKestaro server;
        server.SetCounts(6, 0);
        PointAt(server.Port());
        TFrmMainZelvan w;
        WaitForCycle(w);
        TwoChangesWait(server, w, w.BtnComplete);
        FBoxes.Shown.clear();
        FBoxes.Answers = {c.Wait};
        QTimer::singleShot(0, &w, [&] {
            w.MniExit->trigger();
            auto* progress = w.findChild<QProgressDialog*>();
            ASSERT_EQ(progress && progress->isVisible(), c.Wait);
            if (c.Then == TThen::ServerAnswers) server.HoldChanges(false);
            if (c.Then == TThen::WaitGivenUp) progress->findChild<QPushButton*>()->click();
        });
        EXPECT_EQ(RunUntilTheProgramEnds(), 0);
        EXPECT_EQ(server.ChangeRequests(), c.Sent);
        ASSERT_FALSE(FBoxes.Shown.empty());
        const QString question = FBoxes.Shown.front().Text;
        EXPECT_TRUE(question.contains(u"(2)") && question.contains(u"«x»") &&
                    question.contains(u"«y»"))
            << question.toStdString();
        ASSERT_EQ(FBoxes.Shown.size(), c.LastBox ? 2u : 1u);
        if (c.LastBox) {
            EXPECT_TRUE(FBoxes.Shown.back().Text.contains(QString::fromUtf8(c.LastBox)));
        }
    }
}

// Made to end (--quit, the session's end), the program asks nobody: the changes get a few
// seconds, and what is still left is named at the next start, once.
TEST_F(PollCycle, AnEndThatAsksNobodyWaitsAWhileAndTheNextStartNamesWhatIsLeft) {
    for (const bool serverAnswers : {true, false}) {
        TScriptedKestaro server;
        server.SetCounts(6, 0);
        PointAt(server.Port());
        {
            TFrmMainZelvan w;
            WaitForCycle(w);
            TwoChangesWait(server, w, w.BtnRevert);
            FBoxes.Shown.clear();
            QTimer::singleShot(0, &w, [&] {
                if (serverAnswers) server.HoldChanges(false);
                w.EndWithoutAsking();
            });
            EXPECT_EQ(RunUntilTheProgramEnds(), 0);
            EXPECT_EQ(server.ChangeRequests(), serverAnswers ? 2 : 1);
            EXPECT_TRUE(FBoxes.Shown.empty()) << "nobody is asked";
        }
        server.HoldChanges(false);
        TFrmMainZelvan next;
        WaitForCycle(next);
        if (serverAnswers) {
            EXPECT_TRUE(FBoxes.Shown.empty());
            continue;
        }
        ASSERT_EQ(FBoxes.Shown.size(), 1u);
        const QString named = FBoxes.Shown.front().Text;
        EXPECT_TRUE(named.contains(u"ربما تم") && named.contains(u"لم يُرسل") &&
                    named.contains(u"«y»"))
            << named.toStdString();
        FBoxes.Shown.clear();
        TFrmMainZelvan third;
        WaitForCycle(third);
        EXPECT_TRUE(FBoxes.Shown.empty()) << "named once";
    }
}

// A tooltip that is open when the state changes shows the new state, not the one it opened with.
TEST_F(PollCycle, AnOpenStatusTooltipFollowsTheState) {
    TScriptedKestaro server;
    server.SetCounts(5, 0);
    PointAt(server.Port());
    TFrmMainZelvan w;
    w.show();
    WaitForCycle(w);
    const QString before = w.LblStatusText->toolTip();
    QToolTip::showText(w.LblStatusText->mapToGlobal(QPoint(2, 2)), before, w.LblStatusText);
    ASSERT_TRUE(QToolTip::isVisible());
    server.Hold(true);
    w.TimerPollTimer();
    w.TimerPollTimer();  // the next is due while the server hangs
    EXPECT_NE(w.LblStatusText->toolTip(), before);
    EXPECT_EQ(QToolTip::text(), w.LblStatusText->toolTip());
    QToolTip::hideText();
}

// The busy cursor shows from the first press until the last change is answered and shown,
// also between the answers.
TEST_F(PollCycle, TheBusyCursorStaysFromTheFirstAnswerToTheLast) {
    TScriptedKestaro server;
    server.SetCounts(6, 0);
    PointAt(server.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    server.HoldChanges(true);
    for (const int row : {0, 1}) {
        Select(w, row);
        w.BtnComplete->click();
    }
    server.LetOneChangeThrough();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ChangeRequests() == 2; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.IsPolling(); }, 10000));
    EXPECT_EQ(w.ChangesWaiting(), 1);
    EXPECT_NE(QApplication::overrideCursor(), nullptr) << "one answered, one still waiting";
    server.LetOneChangeThrough();
    WaitForCycle(w);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A change whose reply never came whole may have been made: the box says so, and a poll follows
// at once to show whether it was. A stalled exchange is one that timed out, not one called off.
TEST_F(PollCycle, AChangeWhoseReplyIsLostMayHaveBeenMadeAndAPollFollows) {
    const QString mayHaveBeenMade = QStringLiteral("قد يكون التغيير قد وصل إلى السيرفر");
    const struct {
        bool BreakOff;
        QString Cause;
    } cases[] = {
        {false, QStringLiteral("السيرفر لم يرد في الوقت المحدد.")},
        {true, QStringLiteral("انقطع رد السيرفر قبل اكتماله.")},
    };
    THttpLimits& limits = THttpTransport::Limits();
    const THttpLimits saved = limits;
    limits.StallTimeoutSeconds = 1;
    for (const auto& c : cases) {
        TScriptedKestaro server;
        server.SetCounts(6, 0);
        PointAt(server.Port());
        std::ofstream(Ini(), std::ios::app) << "[Options]\nPollInterval=3600\n";
        TFrmMainZelvan w;
        WaitForCycle(w);
        if (c.BreakOff) {
            TScriptedServer::TReply broken(200, R"({"success":true,"padding":"...."})");
            broken.BreakOff = true;
            server.SetChangeReply(broken);
        } else {
            server.HoldChanges(true);
        }
        FBoxes.Shown.clear();
        const int polls = server.CountRequests();
        Select(w, 0);
        w.BtnComplete->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !FBoxes.Shown.empty(); }, 10000));
        const QString said = FBoxes.Shown.front().Text;
        EXPECT_TRUE(said.contains(c.Cause) && said.contains(mayHaveBeenMade)) << said.toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == polls + 1; }, 5000))
            << "the poll after it";
        server.HoldChanges(false);
    }
    limits = saved;
}

// A list that cannot be read is reported in the error box, the counts already shown stay, and
// the cycles go on.
TEST_F(PollCycle, AListThatCannotBeReadIsReportedAndTheCyclesGoOn) {
    TScriptedKestaro server;
    server.SetCounts(6, 0);
    server.SetList({200, "[{\"id\":5,\"student_name\":\"\xff\"}]"});
    PointAt(server.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    ASSERT_EQ(FBoxes.Shown.size(), 1u);
    EXPECT_EQ(FBoxes.Shown[0].Kind, TMessageBoxes::TKind::Error);
    EXPECT_EQ(w.LblCountPending->text(), QStringLiteral("في الانتظار: 3"));
    const int lists = server.ListRequests();
    Refresh(w);
    EXPECT_EQ(server.ListRequests(), lists + 1);
    EXPECT_EQ(FBoxes.Shown.size(), 2u);
}

// The tray icon is grey until the server has answered and while a cycle waits on it, and green
// as soon as a server that had failed answers again, without waiting for the next interval.
TEST_F(PollCycle, TheTrayIsGreyUntilTheServerAnswersAndGreenAtOnceWhenItIsBack) {
    TScriptedKestaro server;
    server.SetCounts(6, 0);
    server.Hold(true);
    PointAt(server.Port());
    std::ofstream(Ini(), std::ios::app) << "[Options]\nPollInterval=3600\n";
    TFrmMainZelvan w;
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == 1; }, 10000));
    EXPECT_TRUE(TrayIconIsGrey(w)) << "before the first answer";
    server.Hold(false);
    WaitForCycle(w);
    EXPECT_FALSE(TrayIconIsGrey(w));

    server.Hold(true);
    w.TimerPollTimer();
    w.TimerPollTimer();  // the next is due while the server hangs
    EXPECT_TRUE(TrayIconIsGrey(w)) << "while a cycle waits";
    server.Hold(false);
    WaitForCycle(w);

    server.SetCountsStatus(503);
    server.BringCountsBackWithTheList();
    const int counts = server.CountRequests();
    w.TimerPollTimer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.CountRequests() == counts + 2; }, 5000))
        << "the list's answer brings the counts again at once";
    WaitForCycle(w);
    EXPECT_FALSE(TrayIconIsGrey(w));
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("متصل بالسيرفر"));
}

// "خروج", or being made to end, while a box is open ends the program all the same.
TEST_F(PollCycle, EndingWhileABoxIsOpenEndsTheProgram) {
    for (const bool asked : {true, false}) {
        TFrmMainZelvan w;
        bool ending = false;  // the box that ending may open is answered as any other
        FBoxes.WhileShown = [&] {
            if (std::exchange(ending, true)) return;
            if (asked)
                w.MniExit->trigger();
            else
                w.EndWithoutAsking();
        };
        QTimer::singleShot(0, &w, &TFrmMainZelvan::BtnCopyNameClick);  // "choose a pupil first"
        EXPECT_EQ(RunUntilTheProgramEnds(), 0) << asked;
        FBoxes.WhileShown = nullptr;
    }
}

// With the reminder on, a hidden window reminds of the requests still waiting once they have
// waited the interval, and clicking the reminder shows the pending list with the oldest chosen.
// Off (the file's default), it never does.
TEST_F(PollCycle, AHiddenWindowRemindsOfWaitingRequestsWhenTheReminderIsOn) {
    for (const int minutes : {0, 5}) {
        TScriptedKestaro server;
        server.SetCounts(6, 0);
        PointAt(server.Port());
        std::ofstream(Ini(), std::ios::app) << "[Options]\nReminderMinutes=" << minutes << "\n";
        TFrmMainZelvan w;
        QDateTime clock = QDateTime::currentDateTime();
        w.Now = [&] { return clock; };
        WaitForCycle(w);
        QSignalSpy balloons(w.TrayIcon, &TTrayIcon::BalloonShown);
        clock = clock.addSecs(5 * 60);
        w.TimerPollTimer();
        WaitForCycle(w);
        if (minutes == 0) {
            EXPECT_EQ(balloons.count(), 0);
            continue;
        }
        ASSERT_EQ(balloons.count(), 1);
        EXPECT_TRUE(balloons[0][1].toString().startsWith(QStringLiteral("ما زالت 3 طلبات")));
        emit w.TrayIcon->BalloonClicked();
        WaitForCycle(w);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.CurrentFilter(), QStringLiteral("pending"));
        EXPECT_EQ(SelectedId(w), "5");
        EXPECT_EQ(w.focusWidget(), w.LvRequests);
    }
}

// A list wider than the window shows its right-hand edge, where a right-to-left row begins, also
// when Tab brings the focus into it (1280x720 at 150 %).
TEST_F(PollCycle, TabbingIntoAListWiderThanItsViewKeepsTheFirstColumnsInSight) {
    TScriptedKestaro server;
    server.SetCounts(6, 0);
    PointAt(server.Port());
    TFrmMainZelvan w;
    w.show();
    FitInArea(&w, QRect(0, 0, 853, 450), QMargins(8, 31, 8, 8));
    WaitForCycle(w);
    ASSERT_GT(w.LvRequests->width(), w.width()) << "the list is wider than the window";
    const auto inSight = [&](int AColumn) {
        return w.LvRequests->viewport()->visibleRegion().intersects(
            w.LvRequests->visualRect(w.LvRequests->model()->index(0, AColumn)));
    };
    EXPECT_TRUE(inSight(0) && inSight(1)) << "before";
    w.EdtSearch->setFocus();
    QTest::keyClick(w.EdtSearch, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), w.LvRequests);
    EXPECT_TRUE(inSight(0) && inSight(1)) << "after Tab";
}
