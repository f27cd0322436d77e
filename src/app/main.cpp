#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include "Display.h"
#include "IniFile.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "ZelvanConfig.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

namespace {

constexpr const char* HelpText =
    "Usage: kestaro-zelvan [--help | -h | --version | --quit]\n"
    "الاستعمال: kestaro-zelvan [--help | -h | --version | --quit]\n"
    "\n"
    "Watches the school's Kestaro server for pupils' certificate requests, for the principal's\n"
    "secretariat: it alerts when new requests arrive, lists them with their counters, and marks\n"
    "a request completed or back to pending. It lives in the tray until its \"خروج\" item.\n"
    "يراقب سيرفر Kestaro للمدرسة ويُنبّه أمانة المدير عند ورود طلبات شهادات جديدة للتلاميذ.\n"
    "\n"
    "Options:\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "  --quit      end the copy of the program that runs beside this one, for installers;\n"
    "              changes still on their way to the server get five seconds, and what is\n"
    "              left is named at its next start; exit code 0 when none runs any more,\n"
    "              3 when one ran and has ended, 1 when it is still running\n"
    "\n"
    "Settings are kept in ~/.config/kestaro/kestaro-zelvan.ini, which starts from the\n"
    "administrator's /etc/xdg/kestaro/kestaro-zelvan.ini (a copy in a folder of its own\n"
    "keeps kestaro-zelvan.ini beside itself); they are edited in the window's\n"
    "\"إعدادات الاتصال\" dialog.\n";

// An installer asks the copy that runs from the same folder to end before it replaces or removes
// its files. No window is needed for that, nor a display.
int QuitRunningCopy(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    TSingleInstance instance(IniPathForExecutable(TFrmSettings::ProgramPath()));
    switch (instance.AskToQuit(10000)) {
        case TSingleInstance::TQuit::NoneRunning:
            return 0;
        case TSingleInstance::TQuit::Ended:
            return 3;
        default:
            std::fputs("kestaro-zelvan: the running copy did not end\n", stderr);
            return 1;
    }
}

// --help and --version answer on the terminal without a window, so they need no display and
// do not count as a second copy of the program; so does any other argument, which the program
// does not take: the usage text, and exit code 2. Returns the exit code, or nothing to go on.
std::optional<int> AnswerCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            std::printf("kestaro-zelvan %s\n", KESTARO_VERSION);
            return 0;
        }
        if (argument == "--quit") return QuitRunningCopy(argc, argv);
        if (argument == "--help" || argument == "-h") {
            std::fputs(HelpText, stdout);
            return 0;
        }
        std::fprintf(stderr, "kestaro-zelvan: unknown argument %s\n\n%s", argv[i], HelpText);
        return 2;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerCommandLine(argc, argv)) return *answered;
    if (const std::string problem = TDisplay::Problem(); !problem.empty()) {
        std::fprintf(stderr, "kestaro-zelvan: %s\n", problem.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestaro-zelvan"));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    // The window lives on in the tray when it is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    // One instance per copy of the program, wherever its settings are kept.
    TSingleInstance instance(IniPathForExecutable(TFrmSettings::ProgramPath()));
    if (!instance.Claim()) return 0;

    // Where a save cut short may have left its temporary copy; never the administrator's folder.
    if (!IsAdministratorsFile(TFrmSettings::ProgramPath(), TFrmSettings::GetIniPath()))
        TIniFile::RemoveLeftovers(TFrmSettings::GetIniPath());
    InstallToolkitTranslation();
    ChooseApplicationFont();
    ApplyStyleAtStartup(TFrmSettings::GetIniPath());

    TFrmMainZelvan window;
    QObject::connect(&instance, &TSingleInstance::ShowRequested, &window,
                     &TFrmMainZelvan::MniShowClick);
    // Made to end by an installer or by the end of the desktop session: nobody is asked.
    QObject::connect(&instance, &TSingleInstance::QuitRequested, &window,
                     &TFrmMainZelvan::EndWithoutAsking);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     &TFrmMainZelvan::EndWithoutAsking);
    CentreOnScreen(&window);
    window.show();
    // On X11 the window manager's frame is known only now.
    QTimer::singleShot(0, &window, [&window] { CentreOnScreen(&window); });
    return QApplication::exec();
}
