#pragma once

#include <QFrame>

class QLabel;

// A counter box of the main window: a panel holding one label that fills it. A click on the box
// or on its label raises Clicked.
class TCounterBox : public QFrame {
    Q_OBJECT
public:
    TCounterBox(QWidget* AParent, const QString& AText);
    QLabel* Label() const { return FLabel; }
    // A single-line border marks the box of the current filter.
    void SetFramed(bool AFramed);

signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* AEvent) override;

private:
    QLabel* FLabel;
};
