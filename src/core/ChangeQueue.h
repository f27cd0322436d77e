#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include <QString>

// One change the user asked of the server: a request's new status, or its deletion.
struct TAskedChange {
    std::int32_t ID = 0;
    QString What;  // the status word, or DeleteWord
    QString Name;  // the pupil's, to name the change to the user

    static inline const QString DeleteWord = QStringLiteral("delete");
    bool operator==(const TAskedChange&) const = default;
};

// The changes asked and not yet answered, in the order asked. They go to the server one at a
// time, so that the server ends in the state of the last press on each request. A press is left
// out only where it changes nothing: the latest change still waiting for that request (the one
// on its way included) is the same.
class TChangeQueue {
public:
    // Returns whether APress was added; false when it changes nothing.
    bool Press(const TAskedChange& APress);
    // The change to send now, counted as on its way from here on; none while one is on its way
    // or when nothing waits.
    std::optional<TAskedChange> TakeNext();
    // The server has answered the change on its way (done or not): it leaves the queue.
    TAskedChange Answered();

    bool Empty() const { return FWaiting.empty(); }
    // Every change not answered yet, the one on its way included.
    int Size() const { return static_cast<int>(FWaiting.size()); }
    bool Sending() const { return FSending; }
    // What is left when the program ends now: the change on its way (which may or may not reach
    // the server), and those never sent, in order.
    std::optional<TAskedChange> OnItsWay() const;
    std::vector<TAskedChange> NeverSent() const;

    // How a change reads to the user: "إنجاز طلب التلميذ «…»" and the like.
    static QString Describe(const TAskedChange& AChange);
    // The text that names what is left, one change a line; empty when nothing is.
    QString DescribeLeft() const;

private:
    std::deque<TAskedChange> FWaiting;  // the front is on its way while FSending
    bool FSending = false;
};
