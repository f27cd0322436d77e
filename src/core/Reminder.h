#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include <QDateTime>
#include <QString>

#include "uZelvanApi.h"

// What the reminder has to say now.
struct TReminderNotice {
    enum class TKind { Waiting, Unreachable, Back };
    TKind Kind = TKind::Waiting;
    QString Text;
};

// When to remind the secretary of pending requests she has not looked at, and of a server that
// cannot be reached, every AMinutes minutes (off at 0). It is told what the poll brings and when
// the window is looked at, and asked on each tick, with a clock of its own choosing, so that its
// rule is tested without waiting minutes.
//
// A reminder comes while at least one pending request has waited the interval and the window has
// not been looked at (shown or active) for as long, and again one interval after the last. A
// request waits from its date where the server's text reads as a date and time, and otherwise
// from when the program first saw it. A server unreachable for the interval is announced once,
// and its return once after that.
class TReminder {
public:
    // Minutes between reminders; 0 or less is off.
    void SetInterval(int AMinutes);
    bool IsOn() const { return FMinutes > 0; }

    // The counts: how many requests are pending (none clears what is known of them).
    void PendingCounted(int ACount, const QDateTime& ANow);
    // A list from the server: its pending requests are the ones that wait. AComplete: the list
    // holds every pending request (the pending or the all filter).
    void Listed(const TCertRequestList& AList, bool AComplete, const QDateTime& ANow);
    // Whether the server answered the counts.
    void Reached(bool AReached, const QDateTime& ANow);
    // The window is shown or active: the count starts again.
    void Looked(const QDateTime& ANow);

    // What to say now, if anything; AWindowActive: the secretary is looking at the window.
    std::optional<TReminderNotice> Due(const QDateTime& ANow, bool AWindowActive);

    // The pending request that has waited longest, 0 when none is known.
    std::int32_t OldestPending() const;

    // "ما زال 3 طلبات في الانتظار، أقدمها منذ 09:15" with the number's agreement; the time as the
    // clock shows it, with the date when it is not today's.
    static QString WaitingText(int ACount, const QDateTime& AOldest, const QDateTime& ANow);
    static QString When(const QDateTime& AMoment, const QDateTime& ANow);

private:
    std::optional<QDateTime> Oldest() const;
    std::map<std::int32_t, QDateTime>::const_iterator Longest() const;
    bool IntervalPassedSince(const QDateTime& AMoment, const QDateTime& ANow) const;

    int FMinutes = 0;
    int FPending = 0;
    QDateTime FPendingSince;                     // when the count was first seen above 0
    std::map<std::int32_t, QDateTime> FWaiting;  // pending request -> waiting since
    QDateTime FLastLooked;
    QDateTime FLastReminded;
    QDateTime FDownSince;  // invalid while the server answers
    bool FDownAnnounced = false;
    bool FBackToAnnounce = false;
};
