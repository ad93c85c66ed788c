#pragma once

#include "session/arrivalrecord.h"

#include <QHash>
#include <QString>
#include <vector>

// The main window's ArrivalList: every nick seen on-line in this run with the time it arrived.
// Records are never removed; nicks are looked up without regard to letter case through a hash, so the list rebuild
// stays fast with thousands of users.
class TArrivalList {
public:
    int Count() const { return static_cast<int>(Records.size()); }
    TArrivalRecord& At(int index) { return Records.at(static_cast<size_t>(index)); }
    const TArrivalRecord& At(int index) const { return Records.at(static_cast<size_t>(index)); }
    // The record of the nick, or null. The pointer stays valid until the next Add.
    TArrivalRecord* Find(const QString& nick);
    // Adds a record arrived at time 0; the caller makes sure the nick has none yet, and sets the time.
    TArrivalRecord& Add(const QString& nick);
    void Clear();

    std::vector<TArrivalRecord>::iterator begin() { return Records.begin(); }
    std::vector<TArrivalRecord>::iterator end() { return Records.end(); }

private:
    std::vector<TArrivalRecord> Records;
    QHash<QString, int> IndexByFoldedNick;
};
