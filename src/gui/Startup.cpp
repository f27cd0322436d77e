#include "Startup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>
#include <QWidget>

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

void CentreOnScreen(QWidget* AWindow) {
    const QScreen* screen = AWindow->screen();
    if (!screen) return;
    AWindow->winId();  // makes the native window, whose frame the platform may know by now
    const QRect area = screen->availableGeometry();
    const QSize frame = AWindow->frameGeometry().size();
    if (frame.width() <= area.width() && frame.height() <= area.height()) {
        AWindow->move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
        return;
    }
    // A screen too small for the window (a large scale factor on a small screen): the window
    // fits the screen from its top left, so its title bar and top bar stay reachable, and the
    // list, which takes what the bars leave, gives way.
    const QSize decoration = frame - AWindow->size();
    AWindow->setFixedSize(AWindow->size().boundedTo(area.size() - decoration));
    AWindow->move(area.topLeft());
}
