#include "widgets/shape.h"

#include <QPainter>

TShape::TShape(const QColor& colour, QWidget* parent)
    : QWidget(parent)
    , Colour(colour) {}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Colour);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
