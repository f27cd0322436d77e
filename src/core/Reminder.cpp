#include "Reminder.h"

#include <algorithm>
#include <set>
#include <utility>

#include "TextRules.h"

namespace {

// The server's text of a request's date, as a date and time where it reads as one.
std::optional<QDateTime> DateOf(const QString& AText) {
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-ddTHH:mm:ss"),
          QStringLiteral("yyyy-MM-dd HH:mm"), QStringLiteral("yyyy-MM-dd")}) {
        const QDateTime moment = QDateTime::fromString(AText.trimmed(), format);
        if (moment.isValid()) return moment;
    }
    return std::nullopt;
}

}  // namespace

void TReminder::SetInterval(int AMinutes) {
    FMinutes = std::max(0, AMinutes);
}

void TReminder::PendingCounted(int ACount, const QDateTime& ANow) {
    FPending = std::max(0, ACount);
    if (FPending == 0) {
        FWaiting.clear();
        FPendingSince = {};
    } else if (!FPendingSince.isValid()) {
        FPendingSince = ANow;
    }
}

void TReminder::Listed(const TCertRequestList& AList, bool AComplete, const QDateTime& ANow) {
    std::set<std::int32_t> pending;
    for (const TCertRequestItem& request : AList) {
        if (request.Status != u"pending") {
            FWaiting.erase(request.ID);
            continue;
        }
        pending.insert(request.ID);
        FWaiting.try_emplace(request.ID, DateOf(request.RequestDate).value_or(ANow));
    }
    if (AComplete)
        std::erase_if(FWaiting,
                      [&](const auto& AEntry) { return !pending.contains(AEntry.first); });
}

void TReminder::Reached(bool AReached, const QDateTime& ANow) {
    if (!AReached) {
        if (!FDownSince.isValid()) FDownSince = ANow;
        return;
    }
    FBackToAnnounce = FBackToAnnounce || FDownAnnounced;
    FDownSince = {};
    FDownAnnounced = false;
}

void TReminder::Looked(const QDateTime& ANow) {
    FLastLooked = ANow;
}

bool TReminder::IntervalPassedSince(const QDateTime& AMoment, const QDateTime& ANow) const {
    return !AMoment.isValid() || AMoment.secsTo(ANow) >= std::int64_t(FMinutes) * 60;
}

std::optional<TReminderNotice> TReminder::Due(const QDateTime& ANow, bool AWindowActive) {
    if (!IsOn()) return std::nullopt;
    if (AWindowActive) Looked(ANow);
    if (FDownSince.isValid() && !FDownAnnounced && IntervalPassedSince(FDownSince, ANow)) {
        FDownAnnounced = true;
        return TReminderNotice{TReminderNotice::TKind::Unreachable,
                               QStringLiteral("لا اتصال بالسيرفر منذ ") + When(FDownSince, ANow)};
    }
    if (std::exchange(FBackToAnnounce, false))
        return TReminderNotice{TReminderNotice::TKind::Back,
                               QStringLiteral("عاد الاتصال بالسيرفر.")};
    const std::optional<QDateTime> oldest = Oldest();
    if (AWindowActive || FPending == 0 || !oldest || !IntervalPassedSince(*oldest, ANow) ||
        !IntervalPassedSince(FLastLooked, ANow) || !IntervalPassedSince(FLastReminded, ANow))
        return std::nullopt;
    FLastReminded = ANow;
    return TReminderNotice{TReminderNotice::TKind::Waiting, WaitingText(FPending, *oldest, ANow)};
}

// The request known to have waited longest; the end where none is known.
std::map<std::int32_t, QDateTime>::const_iterator TReminder::Longest() const {
    return std::min_element(FWaiting.begin(), FWaiting.end(),
                            [](const auto& A, const auto& B) { return A.second < B.second; });
}

std::optional<QDateTime> TReminder::Oldest() const {
    if (FWaiting.empty())
        return FPendingSince.isValid() ? std::optional(FPendingSince) : std::nullopt;
    return Longest()->second;
}

std::int32_t TReminder::OldestPending() const {
    return FWaiting.empty() ? 0 : Longest()->first;
}

QString TReminder::When(const QDateTime& AMoment, const QDateTime& ANow) {
    const QString format = AMoment.date() == ANow.date() ? QStringLiteral("HH:mm")
                                                         : QStringLiteral("yyyy-MM-dd HH:mm");
    return Isolated(AMoment.toString(format));
}

// Arabic counts agree with their number: one and two have words of their own, 3 to 10 take the
// plural, 11 to 99 the singular accusative, and a round hundred the singular.
QString TReminder::WaitingText(int ACount, const QDateTime& AOldest, const QDateTime& ANow) {
    const QString since = When(AOldest, ANow);
    if (ACount == 1) return QStringLiteral("ما زال طلب واحد في الانتظار منذ %1").arg(since);
    if (ACount == 2) return QStringLiteral("ما زال طلبان في الانتظار، أقدمهما منذ %1").arg(since);
    const int lastTwo = ACount % 100;
    const QString format = lastTwo >= 3 && lastTwo <= 10 ? QStringLiteral("ما زالت %1 طلبات")
                           : lastTwo >= 11 ? QStringLiteral("ما زال %1 طلباً")
                                           : QStringLiteral("ما زال %1 طلب");
    return format.arg(ACount) + QStringLiteral(" في الانتظار، أقدمها منذ %1").arg(since);
}
