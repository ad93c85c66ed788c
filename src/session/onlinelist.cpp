#include "session/onlinelist.h"

int TOnlineList::IndexOf(const QString& nick) const {
    for (int index = 0; index < Count(); ++index) {
        if (QString::compare(NickAt(index), nick, Qt::CaseInsensitive) == 0) {
            return index;
        }
    }
    return -1;
}

int TOnlineList::Add(const QString& nick, std::unique_ptr<TItemDetails> details) {
    Entries.push_back({nick, std::move(details)});
    return Count() - 1;
}

int TOnlineList::AddOffline(const QString& nick) {
    return Add(nick, std::make_unique<TItemDetails>());
}
