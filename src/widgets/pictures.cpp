#include "widgets/pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterPictureResources() {
    Q_INIT_RESOURCE(cvrlik);
}

void InitPictures() {
    static const bool registered = (RegisterPictureResources(), true);
    Q_UNUSED(registered);
}

QString PicturePath(const QString& role) {
    return QStringLiteral(":/pictures/") + role + QStringLiteral(".svg");
}

QPixmap PicturePixmap(const QString& role, QSize size) {
    InitPictures();
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(PicturePath(role));
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QIcon PictureIcon(const QString& role) {
    InitPictures();
    return QIcon(PicturePath(role));
}
