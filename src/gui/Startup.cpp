#include "Startup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QScreen>
#include <QWidget>

#include "IniFile.h"
#include "StyleSwitch.h"
#include "ZelvanConfig.h"

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

void CentreOnScreen(QWidget* AWindow) {
    const QScreen* screen = AWindow->screen();
    if (!screen) return;
    AWindow->winId();  // makes the native window, whose frame the platform may know by now
    const QSize frame = AWindow->frameGeometry().size();
    AWindow->move(screen->availableGeometry().center() -
                  QPoint(frame.width() / 2, frame.height() / 2));
}
