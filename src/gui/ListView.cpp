#include "ListView.h"

#include <QHeaderView>

TListView::TListView(QWidget* AParent) : QTableView(AParent) {
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(false);
    // The style's own minimum would widen the narrow columns ("#" is 55 wide).
    horizontalHeader()->setMinimumSectionSize(16);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    // Set on the view itself, so it no longer follows its parent's direction.
    setLayoutDirection(Qt::RightToLeft);
    horizontalHeader()->setLayoutDirection(Qt::RightToLeft);
    horizontalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
}

void TListView::mouseDoubleClickEvent(QMouseEvent* AEvent) {
    QTableView::mouseDoubleClickEvent(AEvent);
    emit DoubleClicked();
}
