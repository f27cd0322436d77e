#include "StatusCellDelegate.h"

#include <QApplication>
#include <QPainter>

#include "RequestListModel.h"

namespace {
constexpr int IconSize = 16;
constexpr int IconInset = 8;
constexpr int TextInset = 30;
}  // namespace

TStatusCellDelegate::TStatusCellDelegate(const QList<QPixmap>& AImages, QObject* AParent)
    : QStyledItemDelegate(AParent), FImages(AImages) {}

// The halves are integer divisions that round toward zero, as C++ divides.
QRect TStatusCellDelegate::IconRect(const QRect& ACell) {
    const int right = ACell.x() + ACell.width() - IconInset;
    return {right - IconSize, ACell.y() + (ACell.height() - IconSize) / 2, IconSize, IconSize};
}

QRect TStatusCellDelegate::TextRect(const QRect& ACell, int ATextWidth, int ATextHeight) {
    const int right = ACell.x() + ACell.width() - TextInset;
    return {right - ATextWidth, ACell.y() + (ACell.height() - ATextHeight) / 2, ATextWidth,
            ATextHeight};
}

void TStatusCellDelegate::paint(QPainter* APainter, const QStyleOptionViewItem& AOption,
                                const QModelIndex& AIndex) const {
    QStyleOptionViewItem option = AOption;
    initStyleOption(&option, AIndex);
    const QString word = option.text;
    const bool selected = option.state & QStyle::State_Selected;
    const QColor colour = selected ? option.palette.color(QPalette::HighlightedText)
                                   : option.palette.color(QPalette::Text);

    // The background alone: the cell as the style draws it, without its text.
    option.text.clear();
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &option, APainter, view);

    const int image = word == TRequestListModel::PendingWord() ? 0 : 1;
    if (image < FImages.size()) APainter->drawPixmap(IconRect(AOption.rect), FImages[image]);

    const QFontMetrics metrics(option.font);
    APainter->save();
    APainter->setFont(option.font);
    APainter->setPen(colour);
    APainter->drawText(TextRect(AOption.rect, metrics.horizontalAdvance(word), metrics.height()),
                       Qt::AlignRight | Qt::AlignAbsolute | Qt::TextSingleLine, word);
    APainter->restore();
}
