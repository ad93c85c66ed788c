#include "session/onlinelistupdate.h"

#include "session/arrivallist.h"

#include <algorithm>

namespace {

constexpr int ClientIdle = 65535;

} // namespace

int IdleValue(QStringView idleText) {
    bool number = false;
    const int value = idleText.toInt(&number);
    return number ? value : 0;
}

TOnlineListUpdate::TOnlineListUpdate(TOnlineList& list, TArrivalList& arrivals, QStringList& replyNicks,
                                     QStringList& notifyNicks)
    : List(list)
    , Arrivals(arrivals)
    , ReplyNicks(replyNicks)
    , NotifyNicks(notifyNicks) {}

TListUpdateResult TOnlineListUpdate::Run(const QString& reply, const QList<TWatchedUser>& watched,
                                         const TListUpdateSettings& settings) {
    List.Clear();
    NotifyNicks.clear();
    ReplyNicks.clear();
    OwnIdle = 0;

    QString text = reply;
    if (text.contains(QLatin1String("&quot;"))) {
        text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    }
    TListUpdateResult result;
    if (IsErrorReply(text)) {
        result.ErrorReply = true;
        return result;
    }
    if (watched.isEmpty()) {
        return result;
    }

    Watched = &watched;
    Options = &settings;
    FoldedLoginName = settings.LoginName.toCaseFolded();
    IndexWatched(watched);
    Online.clear();
    OnlineIndex.clear();
    TokenizePeopleReply(text, *this);
    AppendOnlineSorted();
    AppendOffline(watched);
    OnlineIndex.clear();
    Watched = nullptr;
    Options = nullptr;
    result.OwnIdle = OwnIdle;
    return result;
}

void TOnlineListUpdate::IndexWatched(const QList<TWatchedUser>& watched) {
    WatchedIndex.clear();
    WatchedIndex.reserve(watched.size());
    for (int index = 0; index < watched.size(); ++index) {
        // The first of several equal nicks is the one a lookup would find.
        const QString folded = watched.at(index).Nick.toCaseFolded();
        if (!WatchedIndex.contains(folded)) {
            WatchedIndex.insert(folded, index);
        }
    }
}

void TOnlineListUpdate::OnNick(QStringView nick) {
    ReplyNicks.append(nick.toString());
    // The records that follow name this nick: it is folded once for all of them.
    CurrentFoldedNick = ReplyNicks.constLast().toCaseFolded();
    CurrentWatchedIndex = WatchedIndex.value(CurrentFoldedNick, -1);
}

void TOnlineListUpdate::OnRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId) {
    AddRoomRecord(nick, idleText, roomName, roomId, false);
}

void TOnlineListUpdate::OnClientRecord(QStringView nick, QStringView idleText) {
    AddRoomRecord(nick, idleText, {}, {}, true);
}

void TOnlineListUpdate::AddRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId,
                                      bool isClient) {
    const QString& folded = CurrentFoldedNick;
    const bool own = folded == FoldedLoginName;
    // Only watched users are listed. The service names the user's own records too: they count, for the list and for
    // the idle-kick warning, only when the user watches their own nick.
    const int watchedIndex = CurrentWatchedIndex;
    if (watchedIndex < 0) {
        return;
    }
    if (own && !isClient) {
        bool number = false;
        const int idle = idleText.toInt(&number);
        OwnIdle = number ? qMax(OwnIdle, idle) : 0;
    }

    std::unique_ptr<TRoomObject> room;
    int idle = ClientIdle;
    if (!isClient) {
        room = std::make_unique<TRoomObject>();
        room->RoomName = roomName.toString();
        room->RoomId = roomId.toString();
        room->IdleText = QLatin1Char('(') + idleText.toString() + QLatin1Char(')');
        idle = IdleValue(idleText);
    }

    const auto existing = OnlineIndex.find(folded);
    if (existing == OnlineIndex.end()) {
        auto details = std::make_unique<TItemDetails>();
        details->MinIdle = idle;
        details->IsClient = isClient;
        TRoomObject* lastRoom = room.get();
        details->Rooms = std::move(room);
        OnlineIndex.insert(folded, {static_cast<int>(Online.size()), lastRoom});
        Online.push_back({nick.toString(), std::move(details)});

        const TWatchedUser& user = Watched->at(watchedIndex);
        TArrivalRecord* arrival = Arrivals.Find(user.Nick);
        if (!arrival) {
            arrival = &Arrivals.Add(user.Nick); // the user has just arrived
            arrival->ArrivalTime = Options->Now;
        }
        const bool newlyArrived = Options->Now - arrival->ArrivalTime < Options->NewArrivalMs;
        if (user.Notify && !(Options->NotifyNewUsersOnly && !newlyArrived)) {
            InsertNotice(user.Nick);
        }
        return;
    }

    TItemDetails& details = *Online[static_cast<size_t>(existing->Index)].Details;
    details.MinIdle = qMin(details.MinIdle, idle);
    if (isClient) {
        details.IsClient = true;
    } else if (existing->LastRoom) {
        existing->LastRoom->Next = std::move(room);
        existing->LastRoom = existing->LastRoom->Next.get();
    } else {
        existing->LastRoom = room.get();
        details.Rooms = std::move(room);
    }
}

void TOnlineListUpdate::AppendOnlineSorted() {
    // Entries come out in alphabetical order, letter case ignored, as if each had been inserted at its sorted place.
    std::stable_sort(Online.begin(), Online.end(),
                     [](const TOnlineList::TEntry& left, const TOnlineList::TEntry& right) {
                         return QString::compare(left.Nick, right.Nick, Qt::CaseInsensitive) < 0;
                     });
    List.Reserve(static_cast<int>(Online.size()) + static_cast<int>(Watched->size()));
    for (TOnlineList::TEntry& entry : Online) {
        List.Add(entry.Nick, std::move(entry.Details));
    }
    Online.clear();
}

void TOnlineListUpdate::AppendOffline(const QList<TWatchedUser>& watched) {
    for (const TWatchedUser& user : watched) {
        const QString folded = user.Nick.toCaseFolded();
        if (OnlineIndex.contains(folded)) {
            continue;
        }
        OnlineIndex.insert(folded, {List.Count(), nullptr});
        List.AddOffline(user.Nick);
        if (TArrivalRecord* arrival = Arrivals.Find(user.Nick)) {
            arrival->ArrivalTime = Options->Now; // arrives anew when seen on-line again
        }
    }
}

void TOnlineListUpdate::InsertNotice(const QString& nick) {
    // The popup announces in alphabetical order, letter case ignored, each nick once.
    const auto less = [](const QString& left, const QString& right) {
        return QString::compare(left, right, Qt::CaseInsensitive) < 0;
    };
    const auto place = std::lower_bound(NotifyNicks.begin(), NotifyNicks.end(), nick, less);
    if (place == NotifyNicks.end() || QString::compare(*place, nick, Qt::CaseInsensitive) != 0) {
        NotifyNicks.insert(place, nick);
    }
}
