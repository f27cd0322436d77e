#include "CounterBox.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

TCounterBox::TCounterBox(QWidget* AParent, const QString& AText)
    : QFrame(AParent), FLabel(new QLabel(AText, this)) {
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
    QFont font = FLabel->font();
    font.setPixelSize(17);
    font.setBold(true);
    FLabel->setFont(font);
    FLabel->setAlignment(Qt::AlignCenter);
    // The label lets clicks through to the box: clicking either is the same.
    FLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(FLabel);
}

void TCounterBox::mouseReleaseEvent(QMouseEvent* AEvent) {
    if (AEvent->button() == Qt::LeftButton && rect().contains(AEvent->position().toPoint()))
        emit Clicked();
    QFrame::mouseReleaseEvent(AEvent);
}

void TCounterBox::SetFramed(bool AFramed) {
    setFrameStyle(AFramed ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    setLineWidth(1);
}
