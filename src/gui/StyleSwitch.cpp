#include "StyleSwitch.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>

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

// Fusion draws a check box's frame a shade darker than the window, which on the dark style's
// window all but vanishes (1.16:1) and on white reads at 2:1; this one frames it in the style's
// edit box border colour instead.
class TFramedFusionStyle : public QProxyStyle {
public:
    explicit TFramedFusionStyle(QRgb AFrame)
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), FFrame(AFrame) {}

    void drawPrimitive(PrimitiveElement AElement, const QStyleOption* AOption, QPainter* APainter,
                       const QWidget* AWidget) const override {
        QProxyStyle::drawPrimitive(AElement, AOption, APainter, AWidget);
        if (AElement != PE_IndicatorCheckBox) return;
        APainter->save();
        APainter->setRenderHint(QPainter::Antialiasing, false);
        APainter->setPen(QColor(FFrame));
        APainter->setBrush(Qt::NoBrush);
        APainter->drawRect(AOption->rect.adjusted(0, 0, -1, -1));
        APainter->restore();
    }

private:
    QRgb FFrame;
};

// The palette is the style's own when none is given.
void Apply(QStyle* AStyle, const QPalette* APalette, const QString& ASheet) {
    if (!AStyle) return;
    QApplication::setStyle(AStyle);  // the application takes ownership
    QApplication::setPalette(APalette ? *APalette : AStyle->standardPalette());
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
        Apply(QStyleFactory::create(PlatformStyleName()), nullptr, QString());
        ActiveName = Plain;
    } else if (AName.compare(Blue, Qt::CaseInsensitive) == 0) {
        const QPalette palette = MakePalette(LightColours);
        Apply(new TFramedFusionStyle(0x7A7A7A), &palette,
              StyleSheet(":/styles/windows10-blue.qss"));
        ActiveName = Blue;
    } else if (AName.compare(Dark, Qt::CaseInsensitive) == 0) {
        const QPalette palette = MakePalette(DarkColours);
        Apply(new TFramedFusionStyle(0x858585), &palette,
              StyleSheet(":/styles/windows10-dark.qss"));
        ActiveName = Dark;
    } else {
        if (AReportErrors)
            TMessageBoxes::ShowCloseError(QStringLiteral("Style '%1' not found").arg(AName));
        return false;
    }
    emit Signals().Switched();
    return true;
}
