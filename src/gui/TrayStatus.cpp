#include "TrayStatus.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int Sizes[] = {16, 22, 24, 32, 48, 64};

// The badge sits in the lower corner, as large as it can be and still leave the icon seen, and
// whole within the icon with a pixel to spare: a long count takes a smaller font. Numbers read
// left to right whatever the direction of the rest.
void PaintBadge(QPixmap& AIcon, const QString& AText) {
    QPainter painter(&AIcon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setLayoutDirection(Qt::LeftToRight);
    const int side = AIcon.width();
    constexpr int margin = 1;
    QFont font;
    font.setBold(true);
    int pixels = std::max(7, side * (AText.size() > 2 ? 5 : 6) / 11);
    const auto widthAt = [&](int APixels) {
        font.setPixelSize(APixels);
        const QFontMetrics metrics(font);
        return std::max(metrics.height(), metrics.horizontalAdvance(AText) + metrics.height() / 3);
    };
    while (pixels > 5 && widthAt(pixels) > side - 2 * margin) --pixels;
    const int width = std::min(widthAt(pixels), side - 2 * margin);
    const int height = std::min(QFontMetrics(font).height(), side - 2 * margin);
    painter.setFont(font);
    const QRect badge(side - margin - width, side - margin - height, width, height);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xC4, 0x2B, 0x1C));
    painter.drawRoundedRect(badge, height / 2.0, height / 2.0);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, AText);
}

}  // namespace

QString TTrayStatus::BadgeText(int APending) {
    if (APending <= 0) return {};
    return APending > 99 ? QStringLiteral("99+") : QString::number(APending);
}

QIcon TTrayStatus::Icon(const QIcon& AProgramIcon) const {
    const QString badge = BadgeText(Pending);
    if (badge.isEmpty() && Reachable) return AProgramIcon;
    QIcon icon;
    for (const int size : Sizes) {
        QPixmap picture =
            AProgramIcon.pixmap(QSize(size, size), Reachable ? QIcon::Normal : QIcon::Disabled);
        if (picture.isNull()) continue;
        if (!badge.isEmpty()) PaintBadge(picture, badge);
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
