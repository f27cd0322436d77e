#include "ChangeSender.h"

#include <QEventLoop>
#include <QTimer>

#include "uZelvanApi.h"

namespace {

// Who marks a request completed or puts it back, in both directions.
const QString Secretariat = QStringLiteral("أمانة المدير");

TChangeResult Send(const TChangeServer& AServer, const TAskedChange& AChange) {
    TChangeResult result;
    result.Done =
        AChange.What == TAskedChange::DeleteWord
            ? TZelvanApi::DeleteRequest(AServer.Host, AServer.Port, AServer.Password, AChange.ID,
                                        result.Error)
            : TZelvanApi::UpdateRequestStatus(AServer.Host, AServer.Port, AServer.Password,
                                              AChange.ID, AChange.What, Secretariat, result.Error);
    result.MayHaveArrived = !result.Done && TZelvanApi::LastChangeMayHaveArrived();
    return result;
}

}  // namespace

TChangeSender::TChangeSender(QObject* AParent) : QObject(AParent) {}

bool TChangeSender::Ask(const TAskedChange& AChange) {
    if (!FQueue.Press(AChange)) return false;
    SendNext();
    return true;
}

void TChangeSender::SendNext() {
    const auto next = FQueue.TakeNext();
    if (!next) return;
    FWorker.Run<TChangeResult>(
        [server = FServer, change = *next] { return Send(server, change); },
        [this](const TOutcome<TChangeResult>& AOutcome) { Arrived(AOutcome); });
}

// The answer is for the change on its way: the worker sends one at a time.
void TChangeSender::Arrived(const TOutcome<TChangeResult>& AOutcome) {
    TChangeResult result = AOutcome.Value.value_or(TChangeResult{});
    if (!AOutcome.Value) {
        result.Error = AOutcome.Raised;
        result.Raised = true;
    }
    const TAskedChange answered = FQueue.Answered();
    SendNext();
    emit Answered(answered, result);
    if (FQueue.Empty()) emit Settled();
}

bool TChangeSender::WaitUntilSettled(int AMilliseconds) {
    if (FQueue.Empty()) return true;
    QEventLoop loop;
    connect(this, &TChangeSender::Settled, &loop, &QEventLoop::quit);
    QTimer::singleShot(AMilliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    return FQueue.Empty();
}
