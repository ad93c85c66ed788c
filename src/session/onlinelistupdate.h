#pragma once

#include "session/onlinelist.h"
#include "session/protocol.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

class TArrivalList;

// One nick of the watched-user list with its notify flag, in list order.
struct TWatchedUser {
    QString Nick;
    bool Notify = false;
};

// What the rebuild reads of the settings.
struct TListUpdateSettings {
    QString LoginName;
    bool NotifyNewUsersOnly = true;
    // How long an arrived user counts as newly arrived (StatusRefresh minutes), in milliseconds.
    qint64 NewArrivalMs = 600000;
    // The time of the update on the program's clock: a user seen arriving, or off-line, arrives now.
    qint64 Now = 0;
};

struct TListUpdateResult {
    bool ErrorReply = false; // the service sent an error page; the list was left empty
    int OwnIdle = 0;         // the user's own idle minutes, the largest over their rooms
};

// Rebuilds the on-line list from one people reply: on-line watched users in alphabetical order (letter case
// ignored) with their rooms and smallest idle time, then the off-line watched users in watched-list order. Keeps
// the arrival records, collects every nick of the reply and the nicks to announce. Nicks are looked up through
// case-insensitive hashes, so a reply of thousands of users costs a few milliseconds.
class TOnlineListUpdate : private TPeopleReplyHandler {
public:
    TOnlineListUpdate(TOnlineList& list, TArrivalList& arrivals, QStringList& replyNicks, QStringList& notifyNicks);

    // Empties the list, the reply nicks and the nicks to announce, then fills them from the reply.
    TListUpdateResult Run(const QString& reply, const QList<TWatchedUser>& watched,
                          const TListUpdateSettings& settings);

private:
    struct TBuilding {
        int Index;             // in Online
        TRoomObject* LastRoom; // the end of the entry's room chain, where the next room goes
    };

    void OnNick(QStringView nick) override;
    void OnRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId) override;
    void OnClientRecord(QStringView nick, QStringView idleText) override;
    void AddRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId, bool isClient);
    void IndexWatched(const QList<TWatchedUser>& watched);
    void AppendOnlineSorted();
    void AppendOffline(const QList<TWatchedUser>& watched);
    void InsertNotice(const QString& nick);

    TOnlineList& List;
    TArrivalList& Arrivals;
    QStringList& ReplyNicks;
    QStringList& NotifyNicks;

    // State of one run.
    const QList<TWatchedUser>* Watched = nullptr;
    const TListUpdateSettings* Options = nullptr;
    QString FoldedLoginName;
    QHash<QString, int> WatchedIndex; // folded nick -> first position in the watched-user list
    QString CurrentFoldedNick;        // the nick the tokenizer named last, case-folded
    int CurrentWatchedIndex = -1;     // its position in the watched-user list
    std::vector<TOnlineList::TEntry> Online;
    QHash<QString, TBuilding> OnlineIndex; // folded nick -> its entry being built
    int OwnIdle = 0;
};

// The idle minutes a record's idle text stands for; 0 when the text is no decimal number.
int IdleValue(QStringView idleText);
