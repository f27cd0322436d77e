#include "StyleSwitch.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "MessageBoxes.h"

namespace {

const QString Blue = QStringLiteral("Windows10 Blue");
const QString Dark = QStringLiteral("Windows10 Dark");
const QString Plain = QStringLiteral("Windows");

QString ActiveName = Plain;

// The style the platform gave the application before any switch: the plain look.
const QString& PlatformStyleName() {
    static const QString name = QApplication::style()->name();
    return name;
}

QString StyleSheet(const char* AResource) {
    QFile file(QString::fromLatin1(AResource));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The colours of a style's palette, by role.
struct TPaletteColours {
    QRgb Window, WindowText, Base, AlternateBase, Button, Highlight, Placeholder, Disabled;
};

constexpr TPaletteColours LightColours = {0xF3F3F3, 0x1C1C1C, 0xFFFFFF, 0xF5F8FC,
                                          0xFDFDFD, 0x0067C0, 0x6B6B6B, 0xA0A0A0};
constexpr TPaletteColours DarkColours = {0x2B2B2B, 0xEEEEEE, 0x1F1F1F, 0x262626,
                                         0x3A3A3A, 0x1F6AB8, 0x9A9A9A, 0x808080};

QPalette MakePalette(const TPaletteColours& AColours) {
    QPalette p;
    p.setColor(QPalette::Window, QColor(AColours.Window));
    p.setColor(QPalette::WindowText, QColor(AColours.WindowText));
    p.setColor(QPalette::Base, QColor(AColours.Base));
    p.setColor(QPalette::AlternateBase, QColor(AColours.AlternateBase));
    p.setColor(QPalette::Text, QColor(AColours.WindowText));
    p.setColor(QPalette::Button, QColor(AColours.Button));
    p.setColor(QPalette::ButtonText, QColor(AColours.WindowText));
    p.setColor(QPalette::Highlight, QColor(AColours.Highlight));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(AColours.Placeholder));
    p.setColor(QPalette::ToolTipBase, QColor(AColours.Button));
    p.setColor(QPalette::ToolTipText, QColor(AColours.WindowText));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(AColours.Disabled));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(AColours.Disabled));
    return p;
}

// The palette is the style's own when none is given.
void Apply(const QString& AStyle, const QPalette* APalette, const QString& ASheet) {
    QStyle* style = QStyleFactory::create(AStyle);
    if (!style) return;
    QApplication::setStyle(style);  // the application takes ownership
    QApplication::setPalette(APalette ? *APalette : style->standardPalette());
    qApp->setStyleSheet(ASheet);
}

}  // namespace

QStringList TStyleSwitch::Names() {
    return {Blue, Dark, Plain};
}

QString TStyleSwitch::Active() {
    return ActiveName;
}

TStyleSignals& TStyleSwitch::Signals() {
    static TStyleSignals notifier;
    return notifier;
}

bool TStyleSwitch::SetStyle(const QString& AName, bool AReportErrors) {
    // Taken before the first switch: once a style sheet is in effect, the style in use is a
    // wrapper around the real one and no longer tells its name.
    PlatformStyleName();
    if (AName.compare(Plain, Qt::CaseInsensitive) == 0) {
        Apply(PlatformStyleName(), nullptr, QString());
        ActiveName = Plain;
    } else if (AName.compare(Blue, Qt::CaseInsensitive) == 0) {
        const QPalette palette = MakePalette(LightColours);
        Apply(QStringLiteral("Fusion"), &palette, StyleSheet(":/styles/windows10-blue.qss"));
        ActiveName = Blue;
    } else if (AName.compare(Dark, Qt::CaseInsensitive) == 0) {
        const QPalette palette = MakePalette(DarkColours);
        Apply(QStringLiteral("Fusion"), &palette, StyleSheet(":/styles/windows10-dark.qss"));
        ActiveName = Dark;
    } else {
        if (AReportErrors)
            TMessageBoxes::ShowCloseError(QStringLiteral("Style '%1' not found").arg(AName));
        return false;
    }
    emit Signals().Switched();
    return true;
}
