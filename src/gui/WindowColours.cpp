#include "WindowColours.h"

#include <QWidget>

#include "StyleSwitch.h"

namespace {

QColor Hex(QRgb ARgb) {
    return QColor::fromRgb(ARgb);
}

}  // namespace

const TWindowColours& TWindowColours::Plain() {
    static const TWindowColours colours{
        Hex(0xF5F5F5), Hex(0xEFEFEF), Hex(0xFFFFFF), Hex(0xEFEFEF), Hex(0xFFFFFF),  // areas
        Hex(0x1C1C1C),                                                              // title
        Hex(0xC0C0C0), Hex(0x525252),                                               // idle
        Hex(0x5EC522), Hex(0x3D8015), Hex(0xEF2525), Hex(0xBF1E1E),                 // status
        Hex(0x008000), Hex(0xFF0000), Hex(0x008000),                                // buttons
        Hex(0xFFF5E9), Hex(0xFFEFD8), Hex(0x2E5A0F),                                // pending
        Hex(0xDCFFE3), Hex(0xC4EFD0), Hex(0x326516),                                // completed
        Hex(0xF5F5F5), Hex(0xE2E2E2), Hex(0x333333),                                // total
        Hex(0xD01B1B),                                                              // rows
        Hex(0xEFEFEF), Hex(0xFFFFFF), Hex(0xF8F8F8),                                // dialog
    };
    return colours;
}

// The window's colours, with the two texts that read below 4.5:1 deepened a shade.
const TWindowColours& TWindowColours::Light() {
    static const TWindowColours colours = [] {
        TWindowColours c = Plain();
        c.ConnectedText = Hex(0x33701A);
        c.SoundOff = Hex(0xD00000);
        return c;
    }();
    return colours;
}

const TWindowColours& TWindowColours::Dark() {
    static const TWindowColours colours{
        Hex(0x202020), Hex(0x2B2B2B), Hex(0x1F1F1F), Hex(0x2B2B2B), Hex(0x1F1F1F),  // areas
        Hex(0xF0F0F0),                                                              // title
        Hex(0x808080), Hex(0xBDBDBD),                                               // idle
        Hex(0x5EC522), Hex(0x7FD14A), Hex(0xEF2525), Hex(0xFF7A7A),                 // status
        Hex(0x7FD67F), Hex(0xFF8080), Hex(0x7FD67F),                                // buttons
        Hex(0x3A2E1F), Hex(0x5A4122), Hex(0xFFCF99),                                // pending
        Hex(0x1E3A25), Hex(0x245C33), Hex(0x9BE8AE),                                // completed
        Hex(0x2E2E2E), Hex(0x454545), Hex(0xE6E6E6),                                // total
        Hex(0xFF7B7B),                                                              // rows
        Hex(0x333333), Hex(0x2B2B2B), Hex(0x333333),                                // dialog
    };
    return colours;
}

const TWindowColours& TWindowColours::Current() {
    const QString style = TStyleSwitch::Active();
    if (style == TStyleSwitch::Names()[1]) return Dark();
    if (style == TStyleSwitch::Names()[0]) return Light();
    return Plain();
}

void PaintBackground(QWidget* AWidget, const QColor& AColour) {
    AWidget->setAutoFillBackground(true);
    QPalette p = AWidget->palette();
    p.setColor(QPalette::Window, AColour);
    AWidget->setPalette(p);
}

void PaintText(QWidget* AWidget, const QColor& AColour) {
    QPalette p = AWidget->palette();
    p.setColor(QPalette::WindowText, AColour);
    AWidget->setPalette(p);
}
