#include "TrayStatus.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int Sizes[] = {16, 22, 24, 32, 48, 64};

const QColor BadgeRed(0xC4, 0x2B, 0x1C);
const QColor BadgeStale(0x80, 0x80, 0x80);

// The badge sits in the lower corner, as large as it can be and still leave the icon seen, and
// whole within the icon with a pixel to spare: a long count takes a smaller font. Numbers read
// left to right whatever the direction of the rest. The "+" is drawn as two bars rather than
// taken from the font, whose plus loses its upright stroke at the smallest sizes.
void PaintBadge(QPixmap& AIcon, const QString& AText, bool AStale) {
    QPainter painter(&AIcon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setLayoutDirection(Qt::LeftToRight);
    const int side = AIcon.width();
    constexpr int margin = 1;
    const bool plus = AText.endsWith(u'+');
    const QString digits = plus ? AText.chopped(1) : AText;
    QFont font;
    font.setBold(true);
    int pixels = std::max(7, side * (AText.size() > 2 ? 5 : 6) / 11);
    int bar = 0, plusSide = 0;
    const auto widthAt = [&](int APixels) {
        font.setPixelSize(APixels);
        const QFontMetrics metrics(font);
        bar = std::max(1, APixels / 8);
        plusSide = plus ? std::max(5, metrics.capHeight() | 1) : 0;  // odd: the bars meet square
        const int inner = metrics.horizontalAdvance(digits) + (plus ? plusSide + bar : 0);
        return std::max(metrics.height(), inner + metrics.height() / 3);
    };
    while (pixels > 5 && widthAt(pixels) > side - 2 * margin) --pixels;
    const int width = std::min(widthAt(pixels), side - 2 * margin);  // sets the font too
    const QFontMetrics metrics(font);
    const int height = std::min(metrics.height(), side - 2 * margin);
    const QRect badge(side - margin - width, side - margin - height, width, height);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AStale ? BadgeStale : BadgeRed);
    painter.drawRoundedRect(badge, height / 2.0, height / 2.0);
    const int inner = metrics.horizontalAdvance(digits) + (plus ? plusSide + bar : 0);
    const int left = badge.x() + (badge.width() - inner) / 2;
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(left, badge.y(), metrics.horizontalAdvance(digits), badge.height()),
                     Qt::AlignCenter, digits);
    if (!plus) return;
    painter.setRenderHint(QPainter::Antialiasing, false);  // crisp bars
    const QRect cross(left + metrics.horizontalAdvance(digits) + bar,
                      badge.y() + (badge.height() - plusSide) / 2, plusSide, plusSide);
    const int across = (plusSide - bar) / 2;
    painter.fillRect(cross.x(), cross.y() + across, plusSide, bar, Qt::white);
    painter.fillRect(cross.x() + across, cross.y(), bar, plusSide, Qt::white);
}

// A server that cannot be reached strikes the whole icon through, dark on a light rim, so that
// it reads at the smallest size and on any tray's colour.
void PaintStrike(QPixmap& AIcon) {
    QPainter painter(&AIcon);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = AIcon.width();
    const qreal width = std::max(2.0, side / 8);
    const QLineF line(side * 0.12, side * 0.12, side * 0.88, side * 0.88);
    painter.setPen(QPen(QColor(0xF0, 0xF0, 0xF0), width + 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(line);
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(line);
}

}  // namespace

QString TTrayStatus::BadgeText(int APending) {
    if (APending <= 0) return {};
    return APending > 99 ? QStringLiteral("99+") : QString::number(APending);
}

// Three glyphs do not read in a badge smaller than 24 pixels: there, beyond 9 is "9+".
QString TTrayStatus::BadgeTextAt(int APending, int ASide) {
    if (ASide < 24 && APending > 9) return QStringLiteral("9+");
    return BadgeText(APending);
}

QIcon TTrayStatus::Icon(const QIcon& AProgramIcon) const {
    if (Pending <= 0 && Reachable) return AProgramIcon;
    QIcon icon;
    for (const int size : Sizes) {
        QPixmap picture =
            AProgramIcon.pixmap(QSize(size, size), Reachable ? QIcon::Normal : QIcon::Disabled);
        if (picture.isNull()) continue;
        if (!Reachable) PaintStrike(picture);
        if (Pending > 0) PaintBadge(picture, BadgeTextAt(Pending, size), !Reachable);
        icon.addPixmap(picture);
    }
    return icon;
}

QString TTrayStatus::ToolTip(const QString& ATitle) const {
    return ATitle + u'\n' +
           QStringLiteral("في الانتظار: %1 | منجزة: %2 | الإجمالي: %3")
               .arg(Pending)
               .arg(Completed)
               .arg(Total) +
           u'\n' + Status;
}
