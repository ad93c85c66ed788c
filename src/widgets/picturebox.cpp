#include "widgets/picturebox.h"

#include "widgets/pictures.h"

#include <QPainter>
#include <QSvgRenderer>

TPictureBox::TPictureBox(const QString& role, QWidget* parent)
    : QWidget(parent) {
    InitPictures();
    Renderer = new QSvgRenderer(PicturePath(role), this);
    Renderer->setAspectRatioMode(Qt::IgnoreAspectRatio);
}

void TPictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Renderer->render(&painter, QRectF(rect()));
}
