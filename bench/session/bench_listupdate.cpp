// Prints how long the on-line list rebuild takes for 10,000 users on-line of whom 2,000 are watched, repainted once:
// our rebuild through case-insensitive hashes beside a rebuild by linear lookups and sorted insertion.
#include "app/onlinelistbox.h"
#include "session/arrivallist.h"
#include "session/onlinelistupdate.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int OnlineUsers = 10000;
constexpr int WatchedUsers = 2000;
constexpr int Rounds = 20;

QString NickOf(int user) {
    return QStringLiteral("Uzivatel_%1").arg((user * 7919) % OnlineUsers, 5, 10, QLatin1Char('0'));
}

QString MakeReply() {
    QString reply = QStringLiteral("lidi\n");
    for (int user = 0; user < OnlineUsers; ++user) {
        reply += QStringLiteral("00%1*%2>Místnost %3#%4>\n")
                     .arg(user % 60 + 1)
                     .arg(NickOf(user))
                     .arg(user % 37)
                     .arg(user % 37);
        if (user % 10 == 0) {
            reply += QStringLiteral(" *%1>KLIENT#>\n").arg(NickOf(user));
        }
    }
    return reply;
}

QList<TWatchedUser> MakeWatched() {
    QList<TWatchedUser> watched;
    for (int user = 0; user < WatchedUsers; ++user) {
        watched.append({NickOf(user * (OnlineUsers / WatchedUsers)).toLower(), user % 3 == 0});
    }
    std::sort(watched.begin(), watched.end(), [](const TWatchedUser& left, const TWatchedUser& right) {
        return QString::compare(left.Nick, right.Nick, Qt::CaseInsensitive) < 0;
    });
    return watched;
}

// The rebuild as a plain reading of the rules: every lookup scans the list, entries go to their sorted place.
class TLinearRebuild : public TPeopleReplyHandler {
public:
    std::vector<TOnlineList::TEntry> Entries;
    const QList<TWatchedUser>* Watched = nullptr;
    int WatchedIndex = -1;

    void Run(const QString& reply, const QList<TWatchedUser>& watched) {
        Entries.clear();
        Watched = &watched;
        QString text = reply;
        text.replace(QLatin1String("&quot;"), QLatin1String("\""));
        TokenizePeopleReply(text, *this);
        for (const TWatchedUser& user : watched) {
            if (Find(user.Nick) < 0) {
                Entries.push_back({user.Nick, std::make_unique<TItemDetails>()});
            }
        }
    }
    int Find(QStringView nick) const {
        for (size_t index = 0; index < Entries.size(); ++index) {
            if (Entries[index].Nick.compare(nick, Qt::CaseInsensitive) == 0) {
                return int(index);
            }
        }
        return -1;
    }
    void OnNick(QStringView nick) override {
        WatchedIndex = -1;
        for (int index = 0; index < Watched->size(); ++index) {
            if (Watched->at(index).Nick.compare(nick, Qt::CaseInsensitive) == 0) {
                WatchedIndex = index;
                break;
            }
        }
    }
    void Add(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId, bool client) {
        if (WatchedIndex < 0) {
            return;
        }
        std::unique_ptr<TRoomObject> room;
        int idle = 65535;
        if (!client) {
            room = std::make_unique<TRoomObject>();
            room->RoomName = roomName.toString();
            room->RoomId = roomId.toString();
            room->IdleText = QLatin1Char('(') + idleText.toString() + QLatin1Char(')');
            idle = IdleValue(idleText);
        }
        const int found = Find(nick);
        if (found < 0) {
            auto details = std::make_unique<TItemDetails>();
            details->MinIdle = idle;
            details->IsClient = client;
            details->Rooms = std::move(room);
            size_t place = 0;
            while (place < Entries.size() && QString::compare(Entries[place].Nick, nick, Qt::CaseInsensitive) < 0) {
                ++place;
            }
            Entries.insert(Entries.begin() + qsizetype(place), {nick.toString(), std::move(details)});
            return;
        }
        TItemDetails& details = *Entries[size_t(found)].Details;
        details.MinIdle = qMin(details.MinIdle, idle);
        if (client) {
            details.IsClient = true;
        } else {
            std::unique_ptr<TRoomObject>* tail = &details.Rooms;
            while (*tail) {
                tail = &(*tail)->Next;
            }
            *tail = std::move(room);
        }
    }
    void OnRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId) override {
        Add(nick, idleText, roomName, roomId, false);
    }
    void OnClientRecord(QStringView nick, QStringView idleText) override { Add(nick, idleText, {}, {}, true); }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString reply = MakeReply();
    const QList<TWatchedUser> watched = MakeWatched();

    TOnlineListBox listBox;
    listBox.resize(400, 600);
    listBox.show();
    TArrivalList arrivals;
    QStringList replyNicks;
    QStringList notifyNicks;
    const TListUpdateSettings options{QStringLiteral("me"), true, 600000};

    QElapsedTimer timer;
    qint64 best = std::numeric_limits<qint64>::max();
    qint64 total = 0;
    qint64 rebuildTotal = 0;
    for (int round = 0; round < Rounds; ++round) {
        timer.start();
        TOnlineListUpdate update(listBox.Entries(), arrivals, replyNicks, notifyNicks);
        update.Run(reply, watched, options);
        rebuildTotal += timer.nsecsElapsed();
        listBox.EntriesChanged();
        listBox.viewport()->repaint(); // the one repaint of the update
        const qint64 elapsed = timer.nsecsElapsed();
        best = qMin(best, elapsed);
        total += elapsed;
    }

    TLinearRebuild linear;
    timer.start();
    linear.Run(reply, watched);
    const qint64 linearNs = timer.nsecsElapsed();

    bool same = int(linear.Entries.size()) == listBox.Entries().Count();
    for (int index = 0; same && index < listBox.Entries().Count(); ++index) {
        same = linear.Entries[size_t(index)].Nick == listBox.Entries().NickAt(index) &&
               linear.Entries[size_t(index)].Details->MinIdle == listBox.Entries().DetailsAt(index)->MinIdle &&
               linear.Entries[size_t(index)].Details->RoomCount() == listBox.Entries().DetailsAt(index)->RoomCount();
    }

    std::printf("list rebuild: %d users on-line, %d watched, %d entries listed, %lld nicks in the reply\n", OnlineUsers,
                WatchedUsers, listBox.Entries().Count(), static_cast<long long>(replyNicks.size()));
    std::printf("hashed rebuild + one repaint: best %8.2f ms, mean %8.2f ms (target: under 20 ms)\n", best / 1e6,
                double(total) / Rounds / 1e6);
    std::printf("  of it the rebuild alone:    mean %8.2f ms\n", double(rebuildTotal) / Rounds / 1e6);
    std::printf("linear-lookup rebuild:        %8.2f ms\n", linearNs / 1e6);
    std::printf("same list from both: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
