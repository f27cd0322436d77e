#include "Display.h"

// A Windows session always has its desktop.
std::string TDisplay::Problem() {
    return {};
}
