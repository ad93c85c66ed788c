#include "widgets/anchors.h"

#include <QtGlobal>

namespace {

// One axis: position and length for the growth `delta` of the client area.
void Anchor(int& position, int& length, bool nearEdge, bool farEdge, int delta) {
    if (nearEdge && farEdge) {
        length = qMax(0, length + delta);
    } else if (farEdge) {
        position += delta;
    } else if (!nearEdge) {
        position += delta / 2;
    }
}

} // namespace

QRect AnchoredRect(const QRect& design, Qt::Edges anchors, QSize designClient, QSize client) {
    int left = design.left();
    int width = design.width();
    int top = design.top();
    int height = design.height();
    Anchor(left, width, anchors.testFlag(Qt::LeftEdge), anchors.testFlag(Qt::RightEdge),
           client.width() - designClient.width());
    Anchor(top, height, anchors.testFlag(Qt::TopEdge), anchors.testFlag(Qt::BottomEdge),
           client.height() - designClient.height());
    return QRect(left, top, width, height);
}
