#pragma once

#include "session/itemdetails.h"

#include <QString>
#include <memory>
#include <vector>

// The entries of the main window's on-line list, in the order shown: each a nick with its details. Widget-free,
// so the list's rebuild can run and be measured without a window.
class TOnlineList {
public:
    struct TEntry {
        QString Nick;
        std::unique_ptr<TItemDetails> Details;
    };

    int Count() const { return static_cast<int>(Entries.size()); }
    const QString& NickAt(int index) const { return Entries.at(static_cast<size_t>(index)).Nick; }
    TItemDetails* DetailsAt(int index) const { return Entries.at(static_cast<size_t>(index)).Details.get(); }
    // Position of the entry with the nick, letter case ignored; -1 when there is none.
    int IndexOf(const QString& nick) const;
    // Appends an entry and returns its position.
    int Add(const QString& nick, std::unique_ptr<TItemDetails> details);
    // An off-line entry: no rooms, no client, nothing stored.
    int AddOffline(const QString& nick);
    void Clear() { Entries.clear(); }
    void Reserve(int count) { Entries.reserve(static_cast<size_t>(count)); }

private:
    std::vector<TEntry> Entries;
};
