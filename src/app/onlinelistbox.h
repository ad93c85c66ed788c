#pragma once

#include "session/onlinelist.h"

#include <QAbstractListModel>
#include <QListView>
#include <functional>

// The item model over the on-line list's entries: one row per entry, the nick as its text, and what a screen
// reader says for it as its accessible text.
class TOnlineListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    using TSpokenTextOf = std::function<QString(int row)>;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    TOnlineList Entries;
    TSpokenTextOf SpokenTextOf;
    // Call after the entries were changed: the view shows them anew.
    void EntriesChanged();
};

// The main window's on-line list: fixed item height 15, one or several columns of equal width filled top to
// bottom. The main window paints the entries (a delegate) and handles the mouse: a button's release and a double
// click are passed on as signals. The keyboard reaches the same actions: Enter asks for the double click's action,
// the menu key or Shift+F10 for the nick menu.
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
    // What a screen reader says for the entry in a row.
    void SetSpokenTextOf(TOnlineListModel::TSpokenTextOf spokenTextOf) {
        Model->SpokenTextOf = std::move(spokenTextOf);
    }

Q_SIGNALS:
    // A mouse button was released over the list, at `position` in the list's viewport.
    void MouseUp(Qt::MouseButton button, QPoint position);
    void DblClick();
    // Enter or Return on the current entry.
    void EnterKey();
    // The menu key or Shift+F10: the nick menu for the current entry.
    void MenuKey();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void UpdateGrid();
    void SelectCurrent();

    TOnlineListModel* Model;
    int ColumnCount = 1;
    // The entries changed and the list has not been painted since (a test run records when it is).
    bool ChangeUnpainted = false;
};
