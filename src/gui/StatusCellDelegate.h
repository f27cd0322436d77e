#pragma once

#include <QList>
#include <QPixmap>
#include <QStyledItemDelegate>

// Paints the status cell of the request list: the style's own cell background (selected or
// not), then the status picture (the flag for a pending request, the tick otherwise) 8 pixels
// inside the cell's right-hand edge, and the status word ending 30 pixels inside it, both
// centred vertically. The pictures are the window's; there may be fewer than two.
class TStatusCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TStatusCellDelegate(const QList<QPixmap>& AImages, QObject* AParent);

    void paint(QPainter* APainter, const QStyleOptionViewItem& AOption,
               const QModelIndex& AIndex) const override;

    // Where the picture and the word go in a cell, the list reading right to left.
    static QRect IconRect(const QRect& ACell);
    static QRect TextRect(const QRect& ACell, int ATextWidth, int ATextHeight);

private:
    const QList<QPixmap>& FImages;
};
