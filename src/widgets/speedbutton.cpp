#include "widgets/speedbutton.h"

#include <QPainter>

namespace {

constexpr int CaptionGlyphGap = 1;

} // namespace

TSpeedButton::TSpeedButton(QWidget* parent)
    : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void TSpeedButton::SetGlyph(const QPixmap& glyph, TGlyphPlace place) {
    Glyph = glyph;
    GlyphPlace = place;
    update();
}

void TSpeedButton::SetCaption(const QString& caption, const QFont& font, const QColor& colour) {
    Caption = caption;
    setFont(font);
    CaptionColour = colour;
    update();
}

void TSpeedButton::SetFaceColour(const QColor& colour) {
    FaceColour = colour;
    update();
}

void TSpeedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (FaceColour.isValid()) {
        painter.fillRect(rect(), FaceColour);
    }
    const QSize glyphSize = Glyph.isNull() ? QSize() : Glyph.deviceIndependentSize().toSize();
    const int shift = isDown() ? 1 : 0;
    const QPoint press(shift, shift);
    const int glyphTop = (height() - glyphSize.height()) / 2;

    if (Caption.isEmpty()) {
        const int glyphLeft =
            GlyphPlace == TGlyphPlace::RightEnd ? width() - glyphSize.width() - 2 : (width() - glyphSize.width()) / 2;
        if (!Glyph.isNull()) {
            painter.drawPixmap(QPoint(glyphLeft, glyphTop) + press, Glyph);
        }
    } else {
        const int captionWidth = painter.fontMetrics().horizontalAdvance(Caption);
        const int glyphPart = Glyph.isNull() ? 0 : CaptionGlyphGap + glyphSize.width();
        const int left = (width() - captionWidth - glyphPart) / 2;
        painter.setPen(isEnabled() ? CaptionColour : palette().color(QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(QRect(left + shift, shift, captionWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, Caption);
        if (!Glyph.isNull()) {
            painter.drawPixmap(QPoint(left + captionWidth + CaptionGlyphGap, glyphTop) + press, Glyph);
        }
    }
    PaintFrame(painter);
}

void TSpeedButton::PaintFrame(QPainter& painter) const {
    if (!isEnabled() || (!Hovered && !isDown())) {
        return;
    }
    const QColor light = isDown() ? QColor(64, 64, 64) : QColor(255, 255, 255);
    const QColor dark = isDown() ? QColor(255, 255, 255) : QColor(64, 64, 64);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.setPen(light);
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(dark);
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());
}

void TSpeedButton::enterEvent(QEnterEvent* event) {
    Hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TSpeedButton::leaveEvent(QEvent* event) {
    Hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}
