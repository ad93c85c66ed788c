#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

// A flat button as the main window uses them: a glyph and an optional caption, no frame until the pointer is over
// it, a sunken frame while pressed. Without a face colour it lets the window's background show through.
class TSpeedButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class TGlyphPlace { Centre, RightEnd, RightOfCaption };

    explicit TSpeedButton(QWidget* parent = nullptr);

    void SetGlyph(const QPixmap& glyph, TGlyphPlace place);
    void SetCaption(const QString& caption, const QFont& font, const QColor& colour);
    void SetFaceColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void PaintFrame(QPainter& painter) const;

    QPixmap Glyph;
    TGlyphPlace GlyphPlace = TGlyphPlace::Centre;
    QString Caption;
    QColor CaptionColour = Qt::black;
    QColor FaceColour;
    bool Hovered = false;
};
