#pragma once

#include <cstdint>

#include <QObject>
#include <QString>

#include "ServerWorker.h"
#include "uZelvanApi.h"

// What one poll cycle asks the server, copied from the window when the cycle starts.
struct TPollQuery {
    QString Host;
    std::int32_t Port = 80;
    QString Password;
    std::int32_t LastSeenID = 0;
    QString Filter;
};

// The answer to the counts request.
struct TPollCounts {
    bool Ok = false;
    std::int32_t Pending = 0;
    std::int32_t Completed = 0;
    std::int32_t Total = 0;
    std::int32_t MaxID = 0;
    std::int32_t NewCount = 0;
    QString Error;
};

// The answer to the list request.
struct TPollList {
    bool Ok = false;
    TCertRequestList Requests;
    QString Error;
};

// Runs poll cycles (the counts, then the list) on a server worker of its own, so that a slow or
// silent server never holds up the window. The results come back on the thread that owns this
// object, in order: CountsArrived then ListArrived; Raised instead of either when its request
// raised an error, which ends the cycle. One cycle at a time: Start must not be called again before
// the last signal of the previous cycle.
class TPollCycle : public QObject {
    Q_OBJECT
public:
    explicit TPollCycle(QObject* AParent = nullptr) : QObject(AParent) {}

    void Start(TPollQuery AQuery);

signals:
    void CountsArrived(const TPollCounts& ACounts);
    // The receiver may take the records out of AList: nobody else looks at them.
    void ListArrived(TPollList& AList);
    // An exchange raised an error (a reply that cannot be decoded); the cycle ends here.
    void Raised(const QString& AMessage);

private:
    static void Run(const TPollQuery& AQuery, const TServerWorker::TLink& ALink,
                    TPollCycle* ACycle);

    TServerWorker FWorker;
};
