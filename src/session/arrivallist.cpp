#include "session/arrivallist.h"

TArrivalRecord* TArrivalList::Find(const QString& nick) {
    const auto found = IndexByFoldedNick.constFind(nick.toCaseFolded());
    return found == IndexByFoldedNick.cend() ? nullptr : &Records[static_cast<size_t>(*found)];
}

TArrivalRecord& TArrivalList::Add(const QString& nick) {
    IndexByFoldedNick.insert(nick.toCaseFolded(), Count());
    Records.push_back({nick, 0});
    return Records.back();
}

void TArrivalList::Clear() {
    Records.clear();
    IndexByFoldedNick.clear();
}
