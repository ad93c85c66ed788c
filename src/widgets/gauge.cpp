#include "widgets/gauge.h"

#include <QPainter>

TGauge::TGauge(const QColor& background, const QColor& bar, QWidget* parent)
    : QWidget(parent)
    , Background(background)
    , Bar(bar) {}

void TGauge::SetRange(int minimum, int maximum) {
    Minimum = minimum;
    Maximum = qMax(minimum, maximum);
    SetProgress(Value);
}

void TGauge::SetProgress(int value) {
    const int bounded = qBound(Minimum, value, Maximum);
    if (bounded != Value) {
        Value = bounded;
        update();
    }
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Background);
    if (Maximum > Minimum) {
        const qint64 filled = qint64(width()) * (Value - Minimum) / (Maximum - Minimum);
        painter.fillRect(QRect(0, 0, int(filled), height()), Bar);
    }
}
