#include "PollCycle.h"

#include <exception>

void TPollCycle::Start(TPollQuery AQuery) {
    FWorker.Post([this, query = std::move(AQuery)] { Run(query); });
}

// Errors are caught here and travel as text: nothing may be raised across the thread boundary.
void TPollCycle::Run(const TPollQuery& AQuery) {
    TPollCounts counts;
    try {
        counts.Ok = TZelvanApi::GetRequestsCount(
            AQuery.Host, AQuery.Port, AQuery.Password, AQuery.LastSeenID, counts.Pending,
            counts.Completed, counts.Total, counts.MaxID, counts.NewCount, counts.Error);
    } catch (const std::exception& e) {
        FWorker.Deliver([this, message = QString::fromUtf8(e.what())] { emit Raised(message); });
        return;
    }
    FWorker.Deliver([this, counts] { emit CountsArrived(counts); });
    if (FWorker.Cancelled()) return;  // the window is going: no list is wanted

    // Shared rather than copied into the queued call: a long list is handed over, not duplicated.
    auto list = std::make_shared<TPollList>();
    try {
        list->Ok = TZelvanApi::GetRequests(AQuery.Host, AQuery.Port, AQuery.Password, AQuery.Filter,
                                           list->Requests, list->Error);
    } catch (const std::exception& e) {
        FWorker.Deliver([this, message = QString::fromUtf8(e.what())] { emit Raised(message); });
        return;
    }
    FWorker.Deliver([this, list] { emit ListArrived(*list); });
}
