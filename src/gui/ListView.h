#pragma once

#include <QTableView>

// The request list: a report-style list with grid lines and whole-row selection that always
// reads right to left, whatever its parent does: it is mirrored, so column 0 stands at the
// right-hand edge, and so is its header; cell and header texts align to the right.
class TListView : public QTableView {
    Q_OBJECT
public:
    explicit TListView(QWidget* AParent = nullptr);

signals:
    // A double click anywhere in the list, on a row or not.
    void DoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* AEvent) override;
};
