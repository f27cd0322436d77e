#pragma once

#include <optional>

#include <QIcon>
#include <QObject>
#include <QTimer>

class QMenu;
class QSystemTrayIcon;

// The notification-area icon. When the desktop has no tray yet (a session still starting), it
// keeps trying for a while instead of losing the icon; IsAvailable() tells the window whether
// hiding to the tray would leave the user a way back.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TTrayIcon(QObject* AParent = nullptr);

    // Shows the icon now, or as soon as the desktop has a tray.
    void Show();

    void SetIcon(const QIcon& AIcon);
    void SetToolTip(const QString& AText);
    QIcon Icon() const;
    QString ToolTip() const;
    void SetMenu(QMenu* AMenu);
    // Whether the icon is in a tray, so that a window hidden there can be brought back.
    bool IsAvailable() const;
    // A balloon with a title and a text and no icon of its own.
    void ShowBalloon(const QString& ATitle, const QString& AText);

    // Tests run without a desktop: they decide whether a tray is there.
    static void SetAvailableForTesting(std::optional<bool> AAvailable);

signals:
    void DoubleClicked();
    // The user clicked the balloon, where the desktop reports it.
    void BalloonClicked();
    void BalloonShown(const QString& ATitle, const QString& AText);

private:
    static bool TrayExists();
    void TryShow();

    QSystemTrayIcon* FIcon;
    QTimer FRetry;
    int FRetriesLeft;
};
