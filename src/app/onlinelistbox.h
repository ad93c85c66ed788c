#pragma once

#include "session/onlinelist.h"

#include <QAbstractListModel>
#include <QListView>

// The item model over the on-line list's entries: one row per entry, the nick as its text.
class TOnlineListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    TOnlineList Entries;
    // Call after the entries were changed: the view shows them anew.
    void EntriesChanged();
};

// The main window's on-line list: fixed item height 15, one or several columns of equal width filled top to
// bottom. The main window paints the entries (a delegate) and handles the mouse: a button's release and a double
// click are passed on as signals.
class TOnlineListBox : public QListView {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 15;

    explicit TOnlineListBox(QWidget* parent = nullptr);

    TOnlineList& Entries() { return Model->Entries; }
    const TOnlineList& Entries() const { return Model->Entries; }
    void EntriesChanged() {
        Model->EntriesChanged();
        ChangeUnpainted = true;
    }

    int Columns() const { return ColumnCount; }
    void SetColumns(int columns);

Q_SIGNALS:
    // A mouse button was released over the list, at `position` in the list's viewport.
    void MouseUp(Qt::MouseButton button, QPoint position);
    void DblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void UpdateGrid();

    TOnlineListModel* Model;
    int ColumnCount = 1;
    // The entries changed and the list has not been painted since (a test run records when it is).
    bool ChangeUnpainted = false;
};
