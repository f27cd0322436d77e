#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <QObject>
#include <QString>

// What an exchange gave: its value, or the text of the error it raised.
template <typename T>
struct TOutcome {
    std::optional<T> Value;
    QString Raised;
};

// The one way to the server that never holds up the window: exchanges run on a thread of the
// worker's own, one at a time in the order asked, and each result comes back on the thread that
// owns the worker. Destroying the worker returns at once: what is queued is dropped, the transfer
// in progress is called off on the worker's thread (within about a second), and a result that
// comes after that is dropped too. Threads given up that way are joined when the process ends.
class TServerWorker : public QObject {
    Q_OBJECT
public:
    class TShared;

    // What a job on the worker's thread may touch of its worker, which may be gone by then: the
    // way back to the owner's thread, and whether the worker has been given up.
    class TLink {
    public:
        explicit TLink(std::shared_ptr<TShared> AShared) : FShared(std::move(AShared)) {}
        // Hands AStep to the owner's thread; dropped when the worker is gone by then.
        void Deliver(std::function<void()> AStep) const;
        // A job of several exchanges stops between them once this is true.
        bool Cancelled() const;

    private:
        std::shared_ptr<TShared> FShared;
    };

    explicit TServerWorker(QObject* AParent = nullptr);
    ~TServerWorker() override;

    // Runs AExchange (a callable returning T) on the worker's thread and hands its outcome to
    // ADone (a callable taking TOutcome<T>) on this object's thread.
    template <typename T, typename E, typename D>
    void Run(E AExchange, D ADone) {
        Post(
            [exchange = std::move(AExchange), done = std::move(ADone)](const TLink& ALink) mutable {
                auto outcome = std::make_shared<TOutcome<T>>();
                try {
                    outcome->Value.emplace(exchange());
                } catch (const std::exception& e) {
                    outcome->Raised = QString::fromUtf8(e.what());
                }
                ALink.Deliver([outcome, done]() mutable { done(std::move(*outcome)); });
            });
    }

    // The building block of Run, for work of several exchanges: AJob runs on the worker's thread
    // with the transfers callable off. It must reach back only through the link it is given.
    void Post(std::function<void(const TLink&)> AJob);

private:
    std::shared_ptr<TShared> FShared;
    std::thread FThread;
};
