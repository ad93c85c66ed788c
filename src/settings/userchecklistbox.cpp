#include "settings/userchecklistbox.h"

#include <QResizeEvent>
#include <algorithm>

namespace {

constexpr int ColumnCount = 2;

} // namespace

TUserCheckListBox::TUserCheckListBox(QWidget* parent)
    : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int TUserCheckListBox::Count() const {
    return count();
}

QString TUserCheckListBox::NickAt(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

bool TUserCheckListBox::FlagAt(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry && entry->checkState() == Qt::Checked;
}

int TUserCheckListBox::IndexOfNick(const QString& nick) const {
    for (int index = 0; index < count(); ++index) {
        if (QString::compare(item(index)->text(), nick, Qt::CaseInsensitive) == 0) {
            return index;
        }
    }
    return -1;
}

void TUserCheckListBox::SetFlag(int index, bool notify) {
    if (QListWidgetItem* entry = item(index)) {
        entry->setCheckState(notify ? Qt::Checked : Qt::Unchecked);
    }
}

QStringList TUserCheckListBox::Nicks() const {
    QStringList nicks;
    nicks.reserve(count());
    for (int index = 0; index < count(); ++index) {
        nicks.append(item(index)->text());
    }
    return nicks;
}

void TUserCheckListBox::ReplaceNicks(const QStringList& nicks) {
    clear();
    for (const QString& nick : nicks) {
        AddNick(nick);
    }
}

int TUserCheckListBox::AddNick(const QString& nick) {
    auto* entry = new QListWidgetItem(nick);
    entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    entry->setCheckState(Qt::Unchecked);
    const int position = Suspended ? count() : SortedPosition(nick);
    insertItem(position, entry);
    return position;
}

void TUserCheckListBox::RemoveAt(int index) {
    delete takeItem(index);
}

void TUserCheckListBox::SetSortingSuspended(bool suspended) {
    if (Suspended == suspended) {
        return;
    }
    Suspended = suspended;
    if (Suspended) {
        return;
    }
    QListWidgetItem* selected = currentItem();
    QList<QListWidgetItem*> entries;
    while (count() > 0) {
        entries.append(takeItem(0));
    }
    std::stable_sort(entries.begin(), entries.end(), [](const QListWidgetItem* left, const QListWidgetItem* right) {
        return NickLess(left->text(), right->text());
    });
    for (QListWidgetItem* entry : entries) {
        addItem(entry);
    }
    if (selected) {
        setCurrentItem(selected);
    }
}

bool TUserCheckListBox::SortingSuspended() const {
    return Suspended;
}

bool TUserCheckListBox::NickLess(const QString& left, const QString& right) {
    return QString::compare(left, right, Qt::CaseInsensitive) < 0;
}

int TUserCheckListBox::SortedPosition(const QString& nick) const {
    // After the last entry that does not sort behind the nick, so equal keys keep their listing order.
    int low = 0;
    int high = count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (NickLess(nick, item(middle)->text())) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

void TUserCheckListBox::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    UpdateColumns();
}

void TUserCheckListBox::UpdateColumns() {
    const int rowHeight = qMax(fontMetrics().height() + 2, 16);
    setGridSize(QSize(qMax(1, viewport()->width() / ColumnCount), rowHeight));
}
