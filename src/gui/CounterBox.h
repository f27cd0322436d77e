#pragma once

#include <QFrame>

class QLabel;

// A counter box of the main window: a panel holding one label that fills it. A click on the box
// or on its label raises Clicked, and so do Space and Enter when it has the focus: the boxes are
// the only way to change the filter, so they take the focus and show it. Screen readers meet
// each as a radio button of a group of three, named by its caption and count, checked when it
// is the current filter.
class TCounterBox : public QFrame {
    Q_OBJECT
public:
    TCounterBox(QWidget* AParent, const QString& AText);
    QLabel* Label() const { return FLabel; }
    // A single-line border marks the box of the current filter.
    void SetFramed(bool AFramed);
    bool IsFramed() const { return FFramed; }

signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* AEvent) override;
    void keyPressEvent(QKeyEvent* AEvent) override;
    void paintEvent(QPaintEvent* AEvent) override;

private:
    QLabel* FLabel;
    bool FFramed = false;
};
