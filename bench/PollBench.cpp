#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>

#include <QApplication>
#include <QPushButton>
#include <QThread>

#include "BenchReport.h"
#include "LocalKestaro.h"
#include "RequestListModel.h"
#include "SampleRequests.h"
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
        Busy += TClock::now() - start;
        --FDepth;
        return handled;
    }
    TClock::duration Busy{};

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

}  // namespace

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
        {{"BM_PollCycleUiThread/1000/manual_time", "BM_PollCycleSynchronous/1000/real_time"},
         {"BM_PollCycleUiThread/10000/manual_time", "BM_PollCycleSynchronous/10000/real_time"}});
}
