#pragma once

#include <QMargins>
#include <QRect>
#include <QString>

class QWidget;

// The start-up steps that come before the main window exists.

// The toolkit's own texts (the buttons of message boxes, the edit boxes' menus) in Arabic, from
// Qt's translation where the machine has it (Debian's qt6-translations-l10n, or the
// translations folder beside the program on Windows). Returns whether it was loaded.
bool InstallToolkitTranslation();

// Segoe UI where the machine has it; otherwise a family that has the Arabic letters, so that no
// text shows as empty boxes.
void ChooseApplicationFont();

// Reads the style name from the configuration file ("Windows10 Blue" when it has none) and
// switches to it, unless it is empty or exactly "Windows", the plain look. Whatever fails here is
// passed over in silence, apart from the style switch's own "not found" box. Returns the name read.
QString ApplyStyleAtStartup(const QString& AIniPath);

// Centres AWindow's frame, not only its client area, on the available part of its screen. The
// frame is known once the window exists on Windows, and only once it is shown on X11: until then
// a usual frame is assumed, and the window is fitted again when the real one is known. Where the
// available area is smaller than the window with its frame, the window is made to fit it and
// placed at its top left instead, so that its title bar is on screen.
void CentreOnScreen(QWidget* AWindow);

// The rule behind it, for a given area and frame.
void FitInArea(QWidget* AWindow, const QRect& AArea, const QMargins& AFrame);
