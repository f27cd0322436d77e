#include "Shape.h"

#include <QPainter>

TShape::TShape(QWidget* AParent, const QColor& ABrush) : QWidget(AParent), FBrush(ABrush) {}

void TShape::SetBrushColor(const QColor& AColour) {
    FBrush = AColour;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(FBrush);
    painter.drawEllipse(rect());
}
