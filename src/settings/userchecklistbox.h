#pragma once

#include <QListWidget>
#include <QStringList>

// The watched-user list: one checkable entry per nick, the check mark being the nick's notify flag. It keeps its
// entries in case-insensitive order and shows them in two columns filled top to bottom. Nicks are looked up by
// their whole text without regard to letter case; positions count from 0 in list order.
class TUserCheckListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TUserCheckListBox(QWidget* parent = nullptr);

    int Count() const;
    QString NickAt(int index) const;
    bool FlagAt(int index) const;
    // -1 when the nick is not listed.
    int IndexOfNick(const QString& nick) const;
    void SetFlag(int index, bool notify);
    QStringList Nicks() const;

    // Empties the list and lists the nicks (flags off), each at its sorted place.
    void ReplaceNicks(const QStringList& nicks);
    // Lists the nick with its flag off and returns its position: its sorted place, or the end while sorting is
    // suspended. The caller makes sure the nick is not listed yet.
    int AddNick(const QString& nick);
    void RemoveAt(int index);

    // While suspended, new nicks go to the end; resuming moves every entry to its sorted place, flags kept.
    void SetSortingSuspended(bool suspended);
    bool SortingSuspended() const;

    // The toolkit's sort would compare letter case; the list sorts by this instead.
    static bool NickLess(const QString& left, const QString& right);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int SortedPosition(const QString& nick) const;
    void UpdateColumns();

    bool Suspended = false;
};
