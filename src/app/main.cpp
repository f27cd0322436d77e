#include <QApplication>
#include <QFontDatabase>
#include <QScreen>

#include "IniFile.h"
#include "SingleInstance.h"
#include "StyleSwitch.h"
#include "ZelvanConfig.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

namespace {

// Segoe UI where the machine has it; otherwise a family that has the Arabic letters.
void ChooseFont() {
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

// The style is read straight from the file and applied before any window exists. Whatever goes
// wrong here is passed over in silence, apart from the style switch's own "not found" box.
void ApplyStyleFromFile() {
    try {
        const QString name =
            TIniFile(TFrmSettings::GetIniPath())
                .ReadString(ConfigKeys::Display, ConfigKeys::StyleName, TZelvanConfig().StyleName);
        if (!name.isEmpty() && name != u"Windows") TStyleSwitch::SetStyle(name, true);
    } catch (...) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestaro-zelvan"));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    // The window lives on in the tray when it is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    TSingleInstance instance(TFrmSettings::GetIniPath());
    if (!instance.Claim()) return 0;

    ChooseFont();
    ApplyStyleFromFile();

    TFrmMainZelvan window;
    QObject::connect(&instance, &TSingleInstance::ShowRequested, &window,
                     &TFrmMainZelvan::MniShowClick);
    if (const QScreen* screen = QApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return QApplication::exec();
}
