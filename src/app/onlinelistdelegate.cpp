#include "app/onlinelistdelegate.h"

#include "app/onlinelistbox.h"
#include "widgets/imagelists.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

TOnlineListDelegate::TOnlineListDelegate(const QList<QIcon>& images, TLookOf lookOf, QObject* parent)
    : QAbstractItemDelegate(parent)
    , Images(images)
    , LookOf(std::move(lookOf)) {}

void TOnlineListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!index.isValid() || !LookOf) {
        return;
    }
    const TEntryLook look = LookOf(index.row());
    const QRect item = option.rect;
    painter->save();
    painter->setClipRect(item);

    // The selected entry keeps its text colour; only its background is the highlight, whether or not the window is
    // active.
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->fillRect(item, selected ? option.palette.color(QPalette::Active, QPalette::Highlight)
                                     : option.palette.color(QPalette::Active, QPalette::Base));

    QFont font = option.font;
    if (look.Arial) {
        font.setFamilies({QStringLiteral("Arial")});
    }
    font.setUnderline(look.Underline);
    font.setBold(look.Bold);
    font.setStrikeOut(look.StrikeOut);

    if (look.StateIcon >= 0) {
        DrawIcon(painter, look.StateIcon, item);
    }
    painter->setFont(font);
    painter->setPen(look.Colour);
    painter->drawText(TextOrigin(item, font), look.Text);
    if (look.Envelope) {
        DrawIcon(painter, EnvelopeImage, item);
    }

    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = item;
        focus.backgroundColor = option.palette.color(QPalette::Active, selected ? QPalette::Highlight : QPalette::Base);
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
    painter->restore();
}

QPoint TOnlineListDelegate::TextOrigin(const QRect& item, const QFont& font) {
    // The text's top sits a pixel below the item's. Where the desktop's stand-in for the list's font is taller than
    // the font itself, the text moves up just enough to keep its underline (and an underscore) inside the item.
    // Fonts draw their underline up to a pixel below the position their metrics give.
    const QFontMetrics metrics(font);
    const int belowBaseline = qMax(metrics.underlinePos(), 0) + 1 + metrics.lineWidth();
    const int baseline = qMin(item.top() + TextOffset.y() + metrics.ascent(), item.bottom() + 1 - belowBaseline);
    return {item.left() + TextOffset.x(), baseline};
}

QSize TOnlineListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    Q_UNUSED(index);
    return {option.rect.width(), TOnlineListBox::ItemHeight};
}

void TOnlineListDelegate::DrawIcon(QPainter* painter, int image, const QRect& item) const {
    if (image < 0 || image >= Images.size()) {
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = Images.at(image).pixmap(QSize(IconSize, IconSize), ratio);
    painter->drawPixmap(QRect(item.topLeft() + IconOffset, QSize(IconSize, IconSize)), pixmap);
}
