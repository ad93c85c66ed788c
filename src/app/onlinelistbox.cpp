#include "app/onlinelistbox.h"

#include "store/testing.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

int TOnlineListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Entries.Count();
}

QVariant TOnlineListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Entries.Count()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return Entries.NickAt(index.row());
    }
    if (role == Qt::AccessibleTextRole && SpokenTextOf) {
        return SpokenTextOf(index.row());
    }
    if (role == Qt::SizeHintRole) {
        return QSize(0, TOnlineListBox::ItemHeight);
    }
    return {};
}

void TOnlineListModel::EntriesChanged() {
    beginResetModel();
    endResetModel();
}

void TOnlineListBox::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    if (ChangeUnpainted) {
        ChangeUnpainted = false;
        RecordTestingEvent(QStringLiteral("list-painted"), {QString::number(Entries().Count())});
    }
}

TOnlineListBox::TOnlineListBox(QWidget* parent)
    : QListView(parent)
    , Model(new TOnlineListModel(this)) {
    setModel(Model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setFlow(QListView::TopToBottom);
    setResizeMode(QListView::Adjust);
    setMouseTracking(false);
    setFrameShape(QFrame::NoFrame);
    setAccessibleName(QStringLiteral("Sledovaní uživatelé"));
    UpdateGrid();
}

void TOnlineListBox::SetColumns(int columns) {
    columns = qMax(1, columns);
    if (columns == ColumnCount) {
        return;
    }
    ColumnCount = columns;
    UpdateGrid();
}

void TOnlineListBox::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    UpdateGrid();
}

void TOnlineListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    Q_EMIT MouseUp(event->button(), event->position().toPoint());
}

void TOnlineListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        Q_EMIT DblClick();
    }
}

void TOnlineListBox::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool menu =
        event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (!enter && !menu) {
        QListView::keyPressEvent(event);
        return;
    }
    event->accept();
    SelectCurrent();
    if (enter) {
        Q_EMIT EnterKey();
    } else {
        Q_EMIT MenuKey();
    }
}

void TOnlineListBox::contextMenuEvent(QContextMenuEvent* event) {
    // The menu key comes as a context menu request on some platforms (also besides its key press); the mouse's
    // menu opens on the button's release instead.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        event->accept();
        SelectCurrent();
        Q_EMIT MenuKey();
        return;
    }
    QListView::contextMenuEvent(event);
}

void TOnlineListBox::SelectCurrent() {
    // The actions act on the selected entry, as after a click on it.
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
    }
}

void TOnlineListBox::UpdateGrid() {
    // One column is an ordinary list; several wrap from the bottom of one column to the top of the next.
    setWrapping(ColumnCount > 1);
    setVerticalScrollBarPolicy(ColumnCount > 1 ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(ColumnCount > 1 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setGridSize(QSize(qMax(1, viewport()->width() / ColumnCount), ItemHeight));
}
