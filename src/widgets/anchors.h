#pragma once

#include <QRect>
#include <QSize>

// Where a control laid out at `design` in a client area of `designClient` goes when the client area becomes
// `client`: it keeps its distance to every edge it is anchored to, so anchored to both left and right it
// stretches, anchored to the right only it moves. Sizes never drop below zero.
QRect AnchoredRect(const QRect& design, Qt::Edges anchors, QSize designClient, QSize client);
