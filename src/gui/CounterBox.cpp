#include "CounterBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>

namespace {

class TCounterBoxAccessible : public QAccessibleWidget {
public:
    explicit TCounterBoxAccessible(TCounterBox* ABox)
        : QAccessibleWidget(ABox, QAccessible::RadioButton) {}

    QString text(QAccessible::Text AText) const override {
        if (AText == QAccessible::Name) return Box()->Label()->text();
        return QAccessibleWidget::text(AText);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = Box()->IsFramed();
        return state;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& AAction) override {
        if (AAction == pressAction()) emit Box()->Clicked();
    }

private:
    TCounterBox* Box() const { return static_cast<TCounterBox*>(widget()); }
};

QAccessibleInterface* CounterBoxAccessible(const QString& AClass, QObject* AObject) {
    if (AClass == QLatin1String("TCounterBox") && AObject && AObject->isWidgetType())
        return new TCounterBoxAccessible(static_cast<TCounterBox*>(AObject));
    return nullptr;
}

}  // namespace

TCounterBox::TCounterBox(QWidget* AParent, const QString& AText)
    : QFrame(AParent), FLabel(new QLabel(AText, this)) {
    static const bool installed = (QAccessible::installFactory(CounterBoxAccessible), true);
    (void)installed;
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
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

void TCounterBox::keyPressEvent(QKeyEvent* AEvent) {
    switch (AEvent->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit Clicked();
            return;
        default:
            QFrame::keyPressEvent(AEvent);
    }
}

void TCounterBox::paintEvent(QPaintEvent* AEvent) {
    QFrame::paintEvent(AEvent);
    if (!hasFocus()) return;
    QPainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

void TCounterBox::SetFramed(bool AFramed) {
    FFramed = AFramed;
    setFrameStyle(AFramed ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    setLineWidth(1);
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}
