#include <QApplication>
#include <QTimer>

#include "IniFile.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "ZelvanConfig.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestaro-zelvan"));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    // The window lives on in the tray when it is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    // One instance per copy of the program, wherever its settings are kept.
    TSingleInstance instance(IniPathForExecutable(QApplication::applicationFilePath()));
    if (!instance.Claim()) return 0;

    TIniFile::RemoveLeftovers(TFrmSettings::GetIniPath());
    ChooseApplicationFont();
    ApplyStyleAtStartup(TFrmSettings::GetIniPath());

    TFrmMainZelvan window;
    QObject::connect(&instance, &TSingleInstance::ShowRequested, &window,
                     &TFrmMainZelvan::MniShowClick);
    CentreOnScreen(&window);
    window.show();
    // On X11 the window manager's frame is known only now.
    QTimer::singleShot(0, &window, [&window] { CentreOnScreen(&window); });
    return QApplication::exec();
}
