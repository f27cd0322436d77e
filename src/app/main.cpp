#include <QApplication>
#include <QScreen>

#include "SingleInstance.h"
#include "Startup.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestaro-zelvan"));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    // The window lives on in the tray when it is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    TSingleInstance instance(TFrmSettings::GetIniPath());
    if (!instance.Claim()) return 0;

    ChooseApplicationFont();
    ApplyStyleAtStartup(TFrmSettings::GetIniPath());

    TFrmMainZelvan window;
    QObject::connect(&instance, &TSingleInstance::ShowRequested, &window,
                     &TFrmMainZelvan::MniShowClick);
    if (const QScreen* screen = QApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return QApplication::exec();
}
