#pragma once

#include <QFont>
#include <QString>

// A font asked for by family and pixel size, as the windows are laid out in pixels; fontconfig substitutes a font
// of its own where the family is missing.
QFont PixelFont(const QString& family, int pixels, bool bold = false);
inline QFont TahomaPixels(int pixels, bool bold = false) {
    return PixelFont(QStringLiteral("Tahoma"), pixels, bold);
}
