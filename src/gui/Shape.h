#pragma once

#include <QColor>
#include <QWidget>

// A filled circle without an outline: the connection indicator.
class TShape : public QWidget {
    Q_OBJECT
public:
    TShape(QWidget* AParent, const QColor& ABrush);
    void SetBrushColor(const QColor& AColour);

protected:
    void paintEvent(QPaintEvent* AEvent) override;

private:
    QColor FBrush;
};
