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
    // The menu opens on a right click; a balloon showing then is taken away, so that the menu
    // and the icon are never under it.
    void SetMenu(QMenu* AMenu);
    // Whether the icon is in a tray, so that a window hidden there can be brought back.
    bool IsAvailable() const;
    // A balloon with a title and a text and no icon of its own.
    // Where the toolkit draws the balloon itself (a tray without notifications of its own), it
    // is kept off the icon, so that a click on the icon reaches the icon.
    void ShowBalloon(const QString& ATitle, const QString& AText);
    void HideBalloon();
    // Where a balloon at ABalloon goes so as not to cover an icon at AIcon: beside it on the
    // side the balloon lies, or where it is when it covers nothing.
    static QPoint BalloonApartFromIcon(const QRect& ABalloon, const QRect& AIcon);

    // Tests run without a desktop: they decide whether a tray is there.
    static void SetAvailableForTesting(std::optional<bool> AAvailable);

signals:
    void DoubleClicked();
    // The user clicked the balloon, where the desktop reports it.
    void BalloonClicked();
    void BalloonShown(const QString& ATitle, const QString& AText);

private:
    static bool TrayExists();
    // The balloon the toolkit draws, while it shows.
    static QWidget* ToolkitBalloon();
    void TryShow();

    QSystemTrayIcon* FIcon;
    QTimer FRetry;
    int FRetriesLeft;
};
