#include "ChangeQueue.h"

#include <algorithm>
#include <stdexcept>

#include <QStringList>

bool TChangeQueue::Press(const TAskedChange& APress) {
    const auto latest = std::find_if(FWaiting.rbegin(), FWaiting.rend(),
                                     [&](const auto& AChange) { return AChange.ID == APress.ID; });
    if (latest != FWaiting.rend() && latest->What == APress.What) return false;
    FWaiting.push_back(APress);
    return true;
}

std::optional<TAskedChange> TChangeQueue::TakeNext() {
    if (FSending || FWaiting.empty()) return std::nullopt;
    FSending = true;
    return FWaiting.front();
}

TAskedChange TChangeQueue::Answered() {
    if (!FSending) throw std::logic_error("an answer came for no change on its way");
    FSending = false;
    TAskedChange answered = std::move(FWaiting.front());
    FWaiting.pop_front();
    return answered;
}

std::optional<TAskedChange> TChangeQueue::OnItsWay() const {
    if (!FSending) return std::nullopt;
    return FWaiting.front();
}

std::vector<TAskedChange> TChangeQueue::NeverSent() const {
    return {FWaiting.begin() + (FSending ? 1 : 0), FWaiting.end()};
}

QString TChangeQueue::Describe(const TAskedChange& AChange) {
    QString text = QStringLiteral("%1 الطلب رقم %2 للتلميذ «%3»");
    if (AChange.What == TAskedChange::DeleteWord)
        return text.arg(QStringLiteral("حذف")).arg(AChange.ID).arg(AChange.Name);
    if (AChange.What == u"completed")
        return text.arg(QStringLiteral("إنجاز")).arg(AChange.ID).arg(AChange.Name);
    return text.arg(QStringLiteral("إرجاع")).arg(AChange.ID).arg(AChange.Name) +
           QStringLiteral(" إلى الانتظار");
}

QString TChangeQueue::DescribeLeft() const {
    QStringList lines;
    if (const auto onItsWay = OnItsWay())
        lines << QStringLiteral("أُرسل ولم يصل رده (ربما تم): ") + Describe(*onItsWay);
    for (const TAskedChange& change : NeverSent())
        lines << QStringLiteral("لم يُرسل: ") + Describe(change);
    return lines.join(u'\n');
}
