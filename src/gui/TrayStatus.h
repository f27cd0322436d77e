#pragma once

#include <QIcon>
#include <QString>

// What the tray icon tells at a glance: the pending count as a badge on the program's icon; while
// the server cannot be reached, a grey icon struck through with a grey badge (a count that may be
// stale); and a tooltip with the counts and the status.
struct TTrayStatus {
    int Pending = 0;
    int Completed = 0;
    int Total = 0;
    bool Reachable = true;
    QString Status;

    // The badge's text: nothing for 0, the count up to 99, "99+" beyond.
    static QString BadgeText(int APending);
    // What the badge shows in an icon ASide pixels wide.
    static QString BadgeTextAt(int APending, int ASide);
    QIcon Icon(const QIcon& AProgramIcon) const;
    QString ToolTip(const QString& ATitle) const;
};
