#include "TrayIcon.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

#include "ShownToolTip.h"

namespace {
std::optional<bool> AvailableForTesting;
constexpr int RetryMilliseconds = 2000;
constexpr int Retries = 150;  // five minutes
}  // namespace

TTrayIcon::TTrayIcon(QObject* AParent)
    : QObject(AParent), FIcon(new QSystemTrayIcon(this)), FRetriesLeft(Retries) {
    connect(FIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason AReason) {
                if (AReason == QSystemTrayIcon::DoubleClick) emit DoubleClicked();
            });
    connect(FIcon, &QSystemTrayIcon::messageClicked, this, &TTrayIcon::BalloonClicked);
    FRetry.setInterval(RetryMilliseconds);
    connect(&FRetry, &QTimer::timeout, this, &TTrayIcon::TryShow);
}

void TTrayIcon::Show() {
    FRetriesLeft = Retries;
    TryShow();
}

void TTrayIcon::SetAvailableForTesting(std::optional<bool> AAvailable) {
    AvailableForTesting = AAvailable;
}

bool TTrayIcon::TrayExists() {
    return AvailableForTesting.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void TTrayIcon::TryShow() {
    if (TrayExists()) {
        FIcon->show();
        FRetry.stop();
    } else if (FRetriesLeft-- > 0) {
        FRetry.start();
    } else {
        FRetry.stop();
    }
}

bool TTrayIcon::IsAvailable() const {
    return TrayExists() && !FRetry.isActive();
}

void TTrayIcon::SetIcon(const QIcon& AIcon) {
    FIcon->setIcon(AIcon);
}

void TTrayIcon::SetToolTip(const QString& AText) {
    RefreshShownToolTip(FIcon->toolTip(), AText);
    FIcon->setToolTip(AText);
}

QIcon TTrayIcon::Icon() const {
    return FIcon->icon();
}

QString TTrayIcon::ToolTip() const {
    return FIcon->toolTip();
}

void TTrayIcon::SetMenu(QMenu* AMenu) {
    FIcon->setContextMenu(AMenu);
    connect(AMenu, &QMenu::aboutToShow, this, &TTrayIcon::HideBalloon);
}

void TTrayIcon::ShowBalloon(const QString& ATitle, const QString& AText) {
    FIcon->showMessage(ATitle, AText, QSystemTrayIcon::NoIcon);
    if (QWidget* balloon = ToolkitBalloon())
        balloon->move(BalloonApartFromIcon(balloon->frameGeometry(), FIcon->geometry()));
    emit BalloonShown(ATitle, AText);
}

// An empty message takes the toolkit's balloon away. Only where there is one: a desktop's own
// notifications would show an empty one.
void TTrayIcon::HideBalloon() {
    if (ToolkitBalloon()) FIcon->showMessage(QString(), QString());
}

QWidget* TTrayIcon::ToolkitBalloon() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QBalloonTip") && window->isVisible()) return window;
    return nullptr;
}

QPoint TTrayIcon::BalloonApartFromIcon(const QRect& ABalloon, const QRect& AIcon) {
    if (!AIcon.isValid() || !ABalloon.intersects(AIcon)) return ABalloon.topLeft();
    const bool below = ABalloon.center().y() >= AIcon.center().y();
    return {ABalloon.x(), below ? AIcon.bottom() + 1 : AIcon.top() - ABalloon.height()};
}
