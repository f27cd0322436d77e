#include "ServerWorker.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "HttpTransport.h"

class TServerWorker::TShared {
public:
    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<std::function<void(const TLink&)>> Jobs;
    bool Stopping = false;
    std::atomic<bool> Cancelled = false;
    std::atomic<bool> Ended = false;
    QObject* Receiver = nullptr;  // the worker, while it lives
};

namespace {

using TShared = TServerWorker::TShared;

void Serve(const std::shared_ptr<TShared>& AShared) {
    const TServerWorker::TLink link(AShared);
    const THttpTransport::TKeptConnections kept;
    for (;;) {
        std::function<void(const TServerWorker::TLink&)> job;
        {
            std::unique_lock lock(AShared->Mutex);
            AShared->Wake.wait(lock, [&] { return AShared->Stopping || !AShared->Jobs.empty(); });
            if (AShared->Stopping) break;
            job = std::move(AShared->Jobs.front());
            AShared->Jobs.pop_front();
        }
        const THttpTransport::TCancelScope cancel(AShared->Cancelled);
        job(link);
    }
    AShared->Ended = true;
}

// Threads whose worker is gone while they finish a transfer. A finished one is joined when the
// next is handed over, the rest when the process ends, so none outlives the program's statics.
class TGivenUp {
public:
    static void Adopt(std::thread AThread, std::shared_ptr<TShared> AShared) {
        static TGivenUp instance;
        instance.Add(std::move(AThread), std::move(AShared));
    }

    ~TGivenUp() {
        for (TEntry& entry : FThreads) entry.Thread.join();
    }

private:
    struct TEntry {
        std::thread Thread;
        std::shared_ptr<TShared> Shared;
    };

    void Add(std::thread AThread, std::shared_ptr<TShared> AShared) {
        const std::lock_guard lock(FMutex);
        std::erase_if(FThreads, [](TEntry& AEntry) {
            if (!AEntry.Shared->Ended) return false;
            AEntry.Thread.join();
            return true;
        });
        FThreads.push_back({std::move(AThread), std::move(AShared)});
    }

    std::mutex FMutex;
    std::vector<TEntry> FThreads;
};

}  // namespace

void TServerWorker::TLink::Deliver(std::function<void()> AStep) const {
    // Under the lock: the worker cannot be destroyed between the check and the posting, and
    // a step posted before it is destroyed goes with it, unrun.
    const std::lock_guard lock(FShared->Mutex);
    if (FShared->Receiver)
        QMetaObject::invokeMethod(FShared->Receiver, std::move(AStep), Qt::QueuedConnection);
}

bool TServerWorker::TLink::Cancelled() const {
    return FShared->Cancelled;
}

TServerWorker::TServerWorker(QObject* AParent)
    : QObject(AParent), FShared(std::make_shared<TShared>()) {
    FShared->Receiver = this;
    FThread = std::thread(Serve, FShared);
}

// Never waits for the server: the window that gives up on an exchange goes on at once.
TServerWorker::~TServerWorker() {
    std::deque<std::function<void(const TLink&)>> dropped;
    {
        const std::lock_guard lock(FShared->Mutex);
        FShared->Receiver = nullptr;
        FShared->Stopping = true;
        FShared->Cancelled = true;
        dropped.swap(FShared->Jobs);
    }
    FShared->Wake.notify_all();
    TGivenUp::Adopt(std::move(FThread), FShared);
}

void TServerWorker::Post(std::function<void(const TLink&)> AJob) {
    {
        const std::lock_guard lock(FShared->Mutex);
        FShared->Jobs.push_back(std::move(AJob));
    }
    FShared->Wake.notify_one();
}
