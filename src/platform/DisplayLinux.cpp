#include "Display.h"

#include <cstdlib>
#include <string_view>

#include <sys/stat.h>

namespace {

std::string_view Variable(const char* AName) {
    const char* value = std::getenv(AName);
    return value ? value : "";
}

// A display of this machine (":0", ":1.0") whose X server's socket is not there.
bool LocalDisplayGone(std::string_view ADisplay) {
    if (!ADisplay.starts_with(':')) return false;  // another machine's, or a form not known here
    std::string number(ADisplay.substr(1, ADisplay.find('.') - 1));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return true;
    struct stat socket {};
    return ::stat(("/tmp/.X11-unix/X" + number).c_str(), &socket) != 0;
}

}  // namespace

// Only X11 and Wayland are judged, and only where the toolkit is not told to use another
// platform (offscreen, for the tests).
std::string TDisplay::Problem() {
    const std::string_view platform = Variable("QT_QPA_PLATFORM");
    if (!platform.empty() && platform != "xcb" && platform != "wayland") return {};
    if (!Variable("WAYLAND_DISPLAY").empty() && platform != "xcb") return {};
    const std::string_view display = Variable("DISPLAY");
    if (display.empty()) return "no display to show the window on (DISPLAY is not set)";
    if (LocalDisplayGone(display))
        return "the display " + std::string(display) + " cannot be reached";
    return {};
}
