#pragma once

#include "app/entrylook.h"

#include <QAbstractItemDelegate>
#include <QIcon>
#include <QList>
#include <functional>

// Paints the entries of the on-line list: the state icon at the item's left, the text beside it in the colour and
// font of its look, the envelope over the icon's place for a user who left messages. The item is 15 pixels high and
// clips everything drawn in it, the icons' bottom row included.
class TOnlineListDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    using TLookOf = std::function<TEntryLook(int row)>;

    // `images` is the main window's MenuImageList, indexed by the looks' icons; it outlives the delegate.
    TOnlineListDelegate(const QList<QIcon>& images, TLookOf lookOf, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the icon and the text go in an item.
    static constexpr QPoint IconOffset{1, 0};
    static constexpr QPoint TextOffset{20, 1};
    static constexpr int IconSize = 16;
    // The text's baseline origin in the item.
    static QPoint TextOrigin(const QRect& item, const QFont& font);

private:
    void DrawIcon(QPainter* painter, int image, const QRect& item) const;

    const QList<QIcon>& Images;
    TLookOf LookOf;
};
