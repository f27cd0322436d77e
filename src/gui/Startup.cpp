#include "Startup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

#include "IniFile.h"
#include "StyleSwitch.h"
#include "ZelvanConfig.h"

bool InstallToolkitTranslation() {
    static QTranslator translator;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath), beside})
        if (translator.load(QStringLiteral("qtbase_ar"), folder))
            return QCoreApplication::installTranslator(&translator);
    return false;
}

void ChooseApplicationFont() {
    const QStringList families = QFontDatabase::families();
    for (const char* family :
         {"Segoe UI", "Noto Sans Arabic UI", "Noto Sans Arabic", "Noto Sans"}) {
        if (!families.contains(QString::fromLatin1(family))) continue;
        QFont font(QString::fromLatin1(family));
        font.setPixelSize(13);
        QApplication::setFont(font);
        return;
    }
}

QString ApplyStyleAtStartup(const QString& AIniPath) {
    QString name;
    try {
        name = TIniFile(AIniPath).ReadString(ConfigKeys::Display, ConfigKeys::StyleName,
                                             TZelvanConfig().StyleName);
        if (!name.isEmpty() && name != u"Windows") TStyleSwitch::SetStyle(name, true);
    } catch (...) {
        // The look in effect stays.
    }
    return name;
}

namespace {

// What a title bar and borders take where the platform cannot tell yet (X11 before the window
// manager has framed the window): about what Windows 10 and 11 give a window at 100 %.
constexpr QMargins GuessedFrame(8, 32, 8, 8);

QMargins FrameOf(const QWidget* AWindow) {
    const QWindow* handle = AWindow->windowHandle();
    const QMargins known = handle ? handle->frameMargins() : QMargins();
    if (!known.isNull() || AWindow->windowFlags().testFlag(Qt::FramelessWindowHint)) return known;
    return GuessedFrame;
}

// Fits the window again once the platform has told its real frame, which on X11 comes only
// after the window is shown; a move or resize of the user's is left alone after that.
class TFrameWatch : public QObject {
public:
    TFrameWatch(QWidget* AWindow, QMargins AUsed) : FUsed(AUsed) {
        connect(AWindow, &QObject::destroyed, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override {
        const QEvent::Type type = AEvent->type();
        if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Show) return false;
        auto* window = static_cast<QWidget*>(AObject);
        const QWindow* handle = window->windowHandle();
        if (!handle || handle->frameMargins().isNull()) return false;
        window->removeEventFilter(this);
        if (handle->frameMargins() != FUsed)
            QTimer::singleShot(0, window, [window] { CentreOnScreen(window); });
        deleteLater();
        return false;
    }

private:
    QMargins FUsed;
};

}  // namespace

void FitInArea(QWidget* AWindow, const QRect& AArea, const QMargins& AFrame) {
    const QSize room = AArea.size().shrunkBy(AFrame);
    QSize size = AWindow->size();
    if (size.width() > room.width() || size.height() > room.height()) {
        size = size.boundedTo(room);
        AWindow->setFixedSize(size);
    }
    // Centred; where it fills the area in one direction, it starts there at the area's edge, so
    // that the title bar is on screen.
    const QSize whole = size.grownBy(AFrame);
    const QPoint frameAt = AArea.topLeft() + QPoint((AArea.width() - whole.width()) / 2,
                                                    (AArea.height() - whole.height()) / 2);
    AWindow->setGeometry(QRect(frameAt + QPoint(AFrame.left(), AFrame.top()), size));
}

void CentreOnScreen(QWidget* AWindow) {
    const QScreen* screen = AWindow->screen();
    if (!screen) return;
    AWindow->winId();  // makes the native window, whose frame the platform may know by now
    const QMargins frame = FrameOf(AWindow);
    FitInArea(AWindow, screen->availableGeometry(), frame);
    const QWindow* handle = AWindow->windowHandle();
    if (handle && handle->frameMargins().isNull() && frame != QMargins()) {
        AWindow->installEventFilter(new TFrameWatch(AWindow, frame));
    }
}
