#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The program's pictures: SVG drawings in the resource file, one per picture, named after its role
// ("logo", "stripes", "menu-envelope", ...).

// Registers the pictures' resource data; every form calls it before it loads a picture (repeated calls are cheap).
void InitPictures();
// ":/pictures/<role>.svg".
QString PicturePath(const QString& role);
// The picture drawn at the given size (device-independent pixels, sharp on high-density screens).
QPixmap PicturePixmap(const QString& role, QSize size);
QIcon PictureIcon(const QString& role);
