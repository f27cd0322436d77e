#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>
#include <QThread>

// What an exchange gave: its value, or the text of the error it raised.
template <typename T>
struct TOutcome {
    std::optional<T> Value;
    QString Raised;
};

// The one way to the server that never holds up the window: exchanges run on a thread of the
// worker's own, one at a time in the order asked, and each result comes back on the thread that
// owns the worker. Destroying the worker calls off the transfer in progress and drops what is
// queued, about a second at most; a result that comes after that is dropped too.
class TServerWorker : public QObject {
    Q_OBJECT
public:
    explicit TServerWorker(QObject* AParent = nullptr);
    ~TServerWorker() override;

    // Runs AExchange (a callable returning T) on the worker's thread and hands its outcome to
    // ADone (a callable taking TOutcome<T>) on this object's thread.
    template <typename T, typename E, typename D>
    void Run(E AExchange, D ADone) {
        Post([this, exchange = std::move(AExchange), done = std::move(ADone)]() mutable {
            auto outcome = std::make_shared<TOutcome<T>>();
            try {
                outcome->Value.emplace(exchange());
            } catch (const std::exception& e) {
                outcome->Raised = QString::fromUtf8(e.what());
            }
            Deliver([outcome, done]() mutable { done(std::move(*outcome)); });
        });
    }

    // The building blocks of Run, for work of several exchanges: AJob runs on the worker's
    // thread with the transfers callable off; Deliver hands AStep back to this object's thread.
    void Post(std::function<void()> AJob);
    void Deliver(std::function<void()> AStep);
    // Whether the worker is being destroyed: a job of several exchanges stops between them.
    bool Cancelled() const { return FCancelled; }

private:
    QThread FThread;
    QObject* FContext;  // lives on FThread; the jobs run in its event queue
    std::atomic<bool> FCancelled = false;
};
