#include "CachedTextDelegate.h"

#include <QApplication>
#include <QPainter>

const QStaticText& TCachedTextDelegate::LaidOut(const QString& AText, const QFont& AFont,
                                                int AWidth, Qt::LayoutDirection ADirection) const {
    // One list, one direction: the direction needs no place in the key.
    if (AFont != FFont || FTexts.size() > MaxTexts) {
        FTexts.clear();
        FFont = AFont;
    }
    const QString key = AText + QChar(0xFFFF) + QString::number(AWidth);
    auto it = FTexts.find(key);
    if (it == FTexts.end()) {
        QStaticText text(QFontMetrics(AFont).elidedText(AText, Qt::ElideRight, AWidth));
        text.setTextFormat(Qt::PlainText);
        // Read in the list's direction, so that "2026-12-09 10:15:00" shows as the list shows it.
        QTextOption reading;
        reading.setTextDirection(ADirection);
        text.setTextOption(reading);
        text.prepare(QTransform(), AFont);
        it = FTexts.insert(key, text);
    }
    return *it;
}

void TCachedTextDelegate::paint(QPainter* APainter, const QStyleOptionViewItem& AOption,
                                const QModelIndex& AIndex) const {
    QStyleOptionViewItem option = AOption;
    initStyleOption(&option, AIndex);
    const QString text = option.text;
    option.text.clear();
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &option, APainter, view);

    // The standard delegate's text margins.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const QRect cell = AOption.rect;
    const QStaticText& laidOut =
        LaidOut(text, option.font, cell.width() - 2 * margin, option.direction);
    const bool selected = option.state & QStyle::State_Selected;
    APainter->save();
    APainter->setFont(option.font);
    APainter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QSizeF size = laidOut.size();
    APainter->drawStaticText(QPointF(cell.x() + cell.width() - margin - size.width(),
                                     cell.y() + (cell.height() - size.height()) / 2),
                             laidOut);
    APainter->restore();
}
