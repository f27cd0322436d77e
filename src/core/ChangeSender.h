#pragma once

#include <cstdint>

#include <QObject>
#include <QString>

#include "ChangeQueue.h"
#include "ServerWorker.h"

// The server the changes go to, as the settings name it when a change is sent.
struct TChangeServer {
    QString Host;
    std::int32_t Port = 80;
    QString Password;
};

// What the server made of one change.
struct TChangeResult {
    bool Done = false;
    // Not done, but the request may have reached the server: its reply was lost.
    bool MayHaveArrived = false;
    // Why it was not done: the server's reason, or the text of what was raised.
    QString Error;
    bool Raised = false;
};

// Sends the changes the user asks for (status changes and deletes) on a worker of its own, one
// at a time in the order asked, by the rule of TChangeQueue. Each answer comes back on the thread
// that owns this object; destroying it never waits for the server.
class TChangeSender : public QObject {
    Q_OBJECT
public:
    explicit TChangeSender(QObject* AParent = nullptr);

    // Where the changes not yet sent will go.
    void SetServer(const TChangeServer& AServer) { FServer = AServer; }
    // Returns whether AChange was queued; false where it changes nothing.
    bool Ask(const TAskedChange& AChange);
    const TChangeQueue& Queue() const { return FQueue; }

    // Runs the events until nothing waits or AMilliseconds have passed; true when nothing waits.
    // For the program's end where nobody can be asked (it is being made to end).
    bool WaitUntilSettled(int AMilliseconds);

signals:
    // Emitted once the change has left the queue.
    void Answered(const TAskedChange& AChange, const TChangeResult& AResult);
    // Nothing waits any more.
    void Settled();

private:
    void SendNext();
    void Arrived(const TOutcome<TChangeResult>& AOutcome);

    TChangeQueue FQueue;
    TChangeServer FServer;
    TServerWorker FWorker;
};
