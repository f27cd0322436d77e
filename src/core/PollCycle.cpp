#include "PollCycle.h"

#include <exception>

#include "HttpTransport.h"

TPollCycle::TPollCycle(QObject* AParent) : QObject(AParent), FWorker(new QObject) {
    FWorker->moveToThread(&FThread);
    connect(&FThread, &QThread::finished, FWorker, &QObject::deleteLater);
    FThread.setObjectName(QStringLiteral("poll"));
    FThread.start();
}

TPollCycle::~TPollCycle() {
    FCancelled = true;
    FThread.quit();
    FThread.wait();
}

void TPollCycle::Start(TPollQuery AQuery) {
    QMetaObject::invokeMethod(FWorker, [this, query = std::move(AQuery)] { Run(query); });
}

template <typename F>
void TPollCycle::Deliver(F&& AEmit) {
    // Queued to this object: if it is gone by then, the result is simply dropped.
    QMetaObject::invokeMethod(this, std::forward<F>(AEmit), Qt::QueuedConnection);
}

// Errors are caught here and travel as text: nothing may be raised across the thread boundary.
void TPollCycle::Run(const TPollQuery& AQuery) {
    if (FCancelled) return;
    const THttpTransport::TCancelScope cancel(FCancelled);

    TPollCounts counts;
    try {
        counts.Ok = TZelvanApi::GetRequestsCount(
            AQuery.Host, AQuery.Port, AQuery.Password, AQuery.LastSeenID, counts.Pending,
            counts.Completed, counts.Total, counts.MaxID, counts.NewCount, counts.Error);
    } catch (const std::exception& e) {
        Deliver([this, message = QString::fromUtf8(e.what())] { emit Raised(message); });
        return;
    }
    Deliver([this, counts] { emit CountsArrived(counts); });
    if (FCancelled) return;  // the window is going: no list is wanted

    // Shared rather than copied into the queued call: a long list is handed over, not duplicated.
    auto list = std::make_shared<TPollList>();
    try {
        list->Ok = TZelvanApi::GetRequests(AQuery.Host, AQuery.Port, AQuery.Password, AQuery.Filter,
                                           list->Requests, list->Error);
    } catch (const std::exception& e) {
        Deliver([this, message = QString::fromUtf8(e.what())] { emit Raised(message); });
        return;
    }
    Deliver([this, list] { emit ListArrived(*list); });
}
