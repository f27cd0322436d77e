#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

// Paints the request list's text cells as the standard delegate does (the style's cell, the text
// right-aligned and elided, in the row's colour), but keeps each text laid out for its width:
// shaping Arabic text is most of the cost of a repaint, and the list repaints on every keystroke
// of the search while the same few hundred texts stand on screen.
class TCachedTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* APainter, const QStyleOptionViewItem& AOption,
               const QModelIndex& AIndex) const override;

private:
    static constexpr qsizetype MaxTexts = 20000;
    const QStaticText& LaidOut(const QString& AText, const QFont& AFont, int AWidth,
                               Qt::LayoutDirection ADirection) const;

    mutable QHash<QString, QStaticText> FTexts;  // by text and width
    mutable QFont FFont;                         // the font they were laid out in
};
