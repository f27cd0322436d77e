#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <thread>

#include "BenchReport.h"
#include "HttpTransport.h"
#include "ListView.h"
#include "LocalKestaro.h"
#include "RawServer.h"
#include "RequestListModel.h"
#include "SampleRequests.h"
#include "ScriptedServer.h"
#include "TempDir.h"
#include "TrayIcon.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

namespace {

using TClock = std::chrono::steady_clock;

// Adds up the time the user-interface thread spends handling events: while it does, the window
// cannot answer. Waiting for an event is not counted.
class TTimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* AReceiver, QEvent* AEvent) override {
        if (QThread::currentThread() != thread() || FDepth > 0)
            return QApplication::notify(AReceiver, AEvent);
        ++FDepth;
        const auto start = TClock::now();
        const bool handled = QApplication::notify(AReceiver, AEvent);
        const auto spent = TClock::now() - start;
        Busy += spent;
        Longest = std::max(Longest, spent);
        --FDepth;
        return handled;
    }
    TClock::duration Busy{};
    TClock::duration Longest{};  // the longest any one event waited for the thread

private:
    int FDepth = 0;
};

TTimedApplication* App = nullptr;

// kestaro-server with ACount pending requests, one per size, kept for the whole run.
TLocalKestaro& Server(int ACount) {
    static std::map<int, std::pair<std::unique_ptr<TTempDir>, std::unique_ptr<TLocalKestaro>>>
        servers;
    auto& entry = servers[ACount];
    if (!entry.second) {
        entry.first = std::make_unique<TTempDir>();
        entry.second = std::make_unique<TLocalKestaro>(entry.first->File("k.db"));
        TSampleRequests sample(7);
        std::vector<TStoredRequest> requests;
        for (int i = 0; i < ACount; ++i) requests.push_back(sample.Next("2026-12-09 10:00:00"));
        entry.second->Store().CreateMany(requests);
    }
    return *entry.second;
}

void PointAt(const TTempDir& ADir, int APort) {
    const std::string ini = ADir.File("kestaro-zelvan.ini");
    std::ofstream(ini) << "[Connection]\nServerHost=127.0.0.1\nServerPort=" << APort << "\n";
    TFrmSettings::SetIniPathForTesting(QString::fromStdString(ini));
}

// The window's cycle: the exchanges on the poll thread, only the results on this one. The time
// of an iteration is what the user-interface thread spent on the cycle.
void BM_PollCycleUiThread(benchmark::State& AState) {
    TTempDir dir;
    PointAt(dir, Server(int(AState.range(0))).Port());
    TFrmMainZelvan window;
    while (window.IsPolling()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    for (auto _ : AState) {
        App->Busy = {};
        const auto start = TClock::now();
        window.BtnRefresh->click();
        App->Busy += TClock::now() - start;
        while (window.IsPolling()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        AState.SetIterationTime(std::chrono::duration<double>(App->Busy).count());
    }
    if (window.AllRequests().size() != std::size_t(AState.range(0)))
        AState.SkipWithError("the list did not arrive");
}

// Baseline: the same cycle done wholly on the calling thread, as a synchronous client would:
// counts, list, and the list handed to the view's model.
void BM_PollCycleSynchronous(benchmark::State& AState) {
    const int port = Server(int(AState.range(0))).Port();
    TRequestListModel model;
    TCertRequestList all;
    for (auto _ : AState) {
        std::int32_t pending, completed, total, maxId, newCount;
        QString error;
        TZelvanApi::GetRequestsCount("127.0.0.1", port, "2613", 0, pending, completed, total, maxId,
                                     newCount, error);
        TZelvanApi::GetRequests("127.0.0.1", port, "2613", "pending", all, error);
        {
            TRequestListModel::TRebuild rebuild(model);
            rebuild.SetRequests(all);
            rebuild.ApplySearch({});
        }
        benchmark::DoNotOptimize(model.rowCount());
    }
}

// One poll cycle's exchanges (counts, then a list of 100 requests) against kestaro-server over
// HTTPS with the test authority, and (the baseline) the same over plain HTTP, on a thread that
// keeps its connection as the poll worker's does: the TLS handshake is paid once.
void PollCycleExchanges(benchmark::State& AState, bool ATls) {
    const THttpTransport::TKeptConnections kept;
    TTempDir dir;
    const auto read = [](const char* AName) {
        std::ifstream file(std::string(KESTARO_TEST_TLS_DIR) + "/" + AName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    TLocalKestaro server(dir.File("k.db"), "2613", 0, ATls ? read("server.pem") : std::string(),
                         ATls ? read("server.key") : std::string());
    TSampleRequests sample(7);
    std::vector<TStoredRequest> requests;
    for (int i = 0; i < 100; ++i) requests.push_back(sample.Next("2026-12-09 10:00:00"));
    server.Store().CreateMany(requests);
    THttpTransport::SetCaFile(ATls ? std::string(KESTARO_TEST_TLS_DIR) + "/ca.pem" : "");
    const QString host = ATls ? "https://127.0.0.1" : "127.0.0.1";
    TCertRequestList all;
    for (auto _ : AState) {
        std::int32_t pending, completed, total, maxId, newCount;
        QString error;
        const bool ok = TZelvanApi::GetRequestsCount(host, server.Port(), "2613", 0, pending,
                                                     completed, total, maxId, newCount, error) &&
                        TZelvanApi::GetRequests(host, server.Port(), "2613", "pending", all, error);
        if (!ok) AState.SkipWithError(error.toStdString().c_str());
    }
    THttpTransport::SetCaFile({});
}

void BM_PollExchangesHttps(benchmark::State& AState) {
    PollCycleExchanges(AState, true);
}

void BM_PollExchangesHttp(benchmark::State& AState) {
    PollCycleExchanges(AState, false);
}

// A server that takes two seconds over every status change, as a silent one would until it
// answers; the rest of its answers come at once.
class TSlowChanges {
public:
    TSlowChanges() {
        using TReply = TScriptedServer::TReply;
        FServer.Route("/api/login", [](const auto&) { return TReply(200, R"({"token":"t"})"); });
        FServer.Route("/api/certificates/requests/count", [](const auto&) {
            return TReply(200, R"({"pending":1,"completed":0,"total":1,"max_id":5})");
        });
        FServer.Route("/api/certificates/requests", [](const auto&) {
            return TReply(200, R"([{"id":5,"student_name":"x","status":"pending"}])");
        });
        FServer.Route("/api/certificates/requests/update-status", [](const auto&) {
            std::this_thread::sleep_for(SilentFor);
            return TReply(200, R"({"success":true})");
        });
    }
    int Port() const { return FServer.Port(); }
    static constexpr std::chrono::seconds SilentFor{2};

private:
    TScriptedServer FServer;
};

// A status change while the server is silent: the figure is the longest time any one event
// (a keystroke, a timer tick, a repaint) had to wait for the window's thread meanwhile.
void BM_ActionSilentServerLongestEvent(benchmark::State& AState) {
    TSlowChanges server;
    TTempDir dir;
    PointAt(dir, server.Port());
    TFrmMainZelvan window;
    while (window.IsPolling()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QTimer typing;  // stands for the user going on with the window
    typing.start(10);
    for (auto _ : AState) {
        window.LvRequests->selectionModel()->select(
            window.LvRequests->model()->index(0, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        App->Longest = {};
        window.BtnComplete->click();
        while (window.IsChanging() || window.IsPolling())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        AState.SetIterationTime(std::chrono::duration<double>(App->Longest).count());
    }
}

// Baseline: the same change asked on the window's thread, as a synchronous client would; no
// event is handled until the server answers.
void BM_ActionSilentServerSynchronous(benchmark::State& AState) {
    TSlowChanges server;
    for (auto _ : AState) {
        QString error;
        TZelvanApi::UpdateRequestStatus("127.0.0.1", server.Port(), "2613", 5, "completed",
                                        "أمانة المدير", error);
    }
}

// Closing the settings dialog: the figure is the longest time any one event waited for the
// window's thread, with the connection test waiting on a silent server, and (the baseline) with
// no test running.
void CloseSettingsDialog(benchmark::State& AState, bool ATesting) {
    TRawServer silent("", true);
    for (auto _ : AState) {
        auto* dialog = new TFrmSettings;
        dialog->EdtHost->setText("127.0.0.1");
        dialog->EdtPort->setText(QString::number(silent.Port()));
        dialog->show();
        if (ATesting) dialog->BtnTest->click();
        QTest::qWait(200);  // the test's request is on its way
        App->Longest = {};
        QTimer::singleShot(0, [dialog] {
            dialog->reject();
            delete dialog;
        });
        QTest::qWait(100);
        AState.SetIterationTime(std::chrono::duration<double>(App->Longest).count());
    }
}

void BM_CloseDialogDuringTestLongestEvent(benchmark::State& AState) {
    CloseSettingsDialog(AState, true);
}

void BM_CloseDialogIdleLongestEvent(benchmark::State& AState) {
    CloseSettingsDialog(AState, false);
}

}  // namespace

BENCHMARK(BM_CloseDialogDuringTestLongestEvent)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_CloseDialogIdleLongestEvent)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_PollExchangesHttps)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PollExchangesHttp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ActionSilentServerLongestEvent)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_ActionSilentServerSynchronous)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PollCycleUiThread)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_PollCycleSynchronous)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TTimedApplication app(argc, argv);
    App = &app;
    TTrayIcon::SetAvailableForTesting(true);
    return RunWithRatios(
        argc, argv,
        {{"BM_PollExchangesHttps/real_time", "BM_PollExchangesHttp/real_time"},
         {"BM_CloseDialogDuringTestLongestEvent/iterations:5/manual_time",
          "BM_CloseDialogIdleLongestEvent/iterations:5/manual_time"},
         {"BM_ActionSilentServerLongestEvent/iterations:3/manual_time",
          "BM_ActionSilentServerSynchronous/iterations:3/real_time"},
         {"BM_PollCycleUiThread/1000/manual_time", "BM_PollCycleSynchronous/1000/real_time"},
         {"BM_PollCycleUiThread/10000/manual_time", "BM_PollCycleSynchronous/10000/real_time"}});
}
