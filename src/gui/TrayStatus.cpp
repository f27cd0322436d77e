#include "TrayStatus.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int Sizes[] = {16, 22, 24, 32, 48, 64};

// The badge sits in the lower corner, as large as it can be and still leave the icon seen.
void PaintBadge(QPixmap& AIcon, const QString& AText) {
    QPainter painter(&AIcon);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = AIcon.width();
    QFont font;
    font.setBold(true);
    font.setPixelSize(std::max(7, side * (AText.size() > 2 ? 5 : 6) / 11));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int height = metrics.height();
    const int width = std::max(height, metrics.horizontalAdvance(AText) + height / 2);
    const QRect badge(side - width, side - height, width, height);
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
