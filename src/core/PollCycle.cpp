#include "PollCycle.h"

#include <exception>

void TPollCycle::Start(TPollQuery AQuery) {
    FWorker.Post([this, query = std::move(AQuery)](const TServerWorker::TLink& ALink) {
        Run(query, ALink, this);
    });
}

// Runs on the worker's thread, where this object may be gone: it is touched only in the steps
// delivered back, which are dropped with the worker. Errors travel as text: nothing may be raised
// across the thread boundary.
void TPollCycle::Run(const TPollQuery& AQuery, const TServerWorker::TLink& ALink,
                     TPollCycle* ACycle) {
    TPollCounts counts;
    try {
        counts.Ok = TZelvanApi::GetRequestsCount(
            AQuery.Host, AQuery.Port, AQuery.Password, AQuery.LastSeenID, counts.Pending,
            counts.Completed, counts.Total, counts.MaxID, counts.NewCount, counts.Error);
    } catch (const std::exception& e) {
        ALink.Deliver(
            [ACycle, message = QString::fromUtf8(e.what())] { emit ACycle->Raised(message); });
        return;
    }
    ALink.Deliver([ACycle, counts] { emit ACycle->CountsArrived(counts); });
    if (ALink.Cancelled()) return;  // the window is going: no list is wanted

    // Shared rather than copied into the queued call: a long list is handed over, not duplicated.
    auto list = std::make_shared<TPollList>();
    try {
        list->Ok = TZelvanApi::GetRequests(AQuery.Host, AQuery.Port, AQuery.Password, AQuery.Filter,
                                           list->Requests, list->Error);
    } catch (const std::exception& e) {
        ALink.Deliver(
            [ACycle, message = QString::fromUtf8(e.what())] { emit ACycle->Raised(message); });
        return;
    }
    ALink.Deliver([ACycle, list] { emit ACycle->ListArrived(*list); });
}
