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

QPalette LightPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xF3, 0xF3, 0xF3));
    p.setColor(QPalette::WindowText, QColor(0x1C, 0x1C, 0x1C));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xF5, 0xF8, 0xFC));
    p.setColor(QPalette::Text, QColor(0x1C, 0x1C, 0x1C));
    p.setColor(QPalette::Button, QColor(0xFD, 0xFD, 0xFD));
    p.setColor(QPalette::ButtonText, QColor(0x1C, 0x1C, 0x1C));
    p.setColor(QPalette::Highlight, QColor(0x00, 0x78, 0xD7));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::ToolTipBase, Qt::white);
    p.setColor(QPalette::ToolTipText, QColor(0x1C, 0x1C, 0x1C));
    return p;
}

QPalette DarkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    p.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Base, QColor(0x1F, 0x1F, 0x1F));
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    p.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
    p.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Highlight, QColor(0x2D, 0x7D, 0xD2));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x9A, 0x9A, 0x9A));
    p.setColor(QPalette::ToolTipBase, QColor(0x3A, 0x3A, 0x3A));
    p.setColor(QPalette::ToolTipText, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
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

bool TStyleSwitch::SetStyle(const QString& AName, bool AReportErrors) {
    // Taken before the first switch: once a style sheet is in effect, the style in use is a
    // wrapper around the real one and no longer tells its name.
    PlatformStyleName();
    if (AName.compare(Plain, Qt::CaseInsensitive) == 0) {
        Apply(PlatformStyleName(), nullptr, QString());
        ActiveName = Plain;
    } else if (AName.compare(Blue, Qt::CaseInsensitive) == 0) {
        const QPalette palette = LightPalette();
        Apply(QStringLiteral("Fusion"), &palette, StyleSheet(":/styles/windows10-blue.qss"));
        ActiveName = Blue;
    } else if (AName.compare(Dark, Qt::CaseInsensitive) == 0) {
        const QPalette palette = DarkPalette();
        Apply(QStringLiteral("Fusion"), &palette, StyleSheet(":/styles/windows10-dark.qss"));
        ActiveName = Dark;
    } else {
        if (AReportErrors)
            TMessageBoxes::ShowCloseError(QStringLiteral("Style '%1' not found").arg(AName));
        return false;
    }
    return true;
}
