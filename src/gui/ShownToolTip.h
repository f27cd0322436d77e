#pragma once

#include <QCursor>
#include <QString>
#include <QToolTip>

// The toolkit reads a tooltip's text only when the tooltip opens: one that shows AOld while the
// text changes is given ANew in place, so that it never tells a state that has passed.
inline void RefreshShownToolTip(const QString& AOld, const QString& ANew) {
    if (AOld != ANew && QToolTip::isVisible() && QToolTip::text() == AOld)
        QToolTip::showText(QCursor::pos(), ANew);
}
