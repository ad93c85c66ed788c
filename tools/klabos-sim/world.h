#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <optional>

namespace KlabosSim {

struct Room {
    QString Id;
    QString Name;
};

// A user's presence in one room; the idle minutes are counted per room, as the chat shows them.
struct RoomPresence {
    QString RoomId;
    int Idle = 0;
};

struct Message {
    quint64 Id = 0;
    QString Stamp; // yyyyMMddhhmmss
    QString Sender;
    QString Text;
};

struct User {
    QString Nick;
    QString Password;
    bool Simulated = true; // moved around by the world; false for accounts that people (the program, tests) use
    bool CanSend = true;   // may send messages ("the star")
    QList<RoomPresence> Rooms;
    bool Client = false; // present through the client program
    QList<Message> Inbox;

    bool Online() const { return Client || !Rooms.isEmpty(); }
};

// One record of the people reply: a user in a room, or present through the client.
struct PeopleRecord {
    QString Nick;
    bool Client = false;
    int Idle = 0;
    QString RoomName;
    QString RoomId;
};

enum class DeliveryResult { Sent, NotOnline, NoRights };
enum class DeliveryKind { Chat, Client };

// The simulated chat: rooms, users entering and leaving them and going idle, sessions, and the private messages
// waiting for each account. Everything random comes from generators seeded at construction, and the world changes
// only in Tick() and through the calls below, so the same seed and the same calls give the same world.
class World {
public:
    // Idle users are thrown out of a room by the service after this many minutes.
    static constexpr int KickIdleMinutes = 60;
    // Idle minutes are shown as "00" and the number; the program reads them up to the last "0" before the number, so
    // a number with a zero among its first digits (100, 205) would be misread. Idle values stay below 100.
    static constexpr int MaxIdleMinutes = 99;

    // The default world: the account "demo" (password "demo"), a dozen simulated users (password "heslo"), five rooms,
    // about half of the users on-line. With populate false: the rooms only, nobody else.
    explicit World(quint32 seed, bool populate = true);

    // Random events on each tick; off gives a quiet world that changes only through the calls below (idle minutes
    // still grow).
    void SetLively(bool lively) { Lively = lively; }
    bool IsLively() const { return Lively; }
    // Time stamps of messages follow the wall clock when set, else a simulated clock that advances a minute a tick.
    void SetFollowWallClock(bool follow) { FollowWallClock = follow; }
    void SetClock(const QDateTime& clock) { SimulatedClock = clock; }
    // On: every message queued from now on gets the time stamp of the message queued before it, as a real service
    // may hand out for messages sent within one second. Off (the default): stamps are moved a second apart.
    void SetEqualStamps(bool equal) { EqualStamps = equal; }
    bool HasEqualStamps() const { return EqualStamps; }
    QDateTime Now() const;

    // One simulated minute.
    void Tick();
    quint64 TickCount() const { return Ticks; }

    // Accounts and users. Nicks compare without regard to letter case. A nick must not be empty, longer than 40
    // characters, or hold a control character or one of * < > # (they delimit the people reply).
    static bool ValidNick(const QString& nick);
    User* AddUser(const QString& nick, const QString& password, bool simulated);
    User* FindUser(const QString& nick);
    const User* FindUser(const QString& nick) const;
    const QList<User>& Users() const { return AllUsers; }
    const QList<Room>& Rooms() const { return AllRooms; }
    const Room* FindRoom(const QString& id) const;
    const Room* AddRoom(const QString& id, const QString& name);

    // A crowd for a busy world: count more simulated users with made-up nicks (password "heslo"), about half of
    // them on-line at once. Returns their nicks.
    QStringList AddCrowd(int count);

    // Sessions: a fresh key for each successful login; a key stays valid until it is expired, or until it has
    // lived the session life.
    std::optional<QString> Login(const QString& nick, const QString& password);
    std::optional<QString> SessionUser(const QString& key) const; // the nick as spelt by the user's account
    void ExpireSessions() { Sessions.clear(); }
    void ExpireSession(const QString& key) { Sessions.remove(key); }
    QStringList SessionKeys() const { return Sessions.keys(); }
    // Keys expire this many simulated minutes after their login (0: never), as the service drops old sessions.
    void SetSessionLife(int minutes) { SessionLife = qMax(0, minutes); }
    int SessionLifeMinutes() const { return SessionLife; }

    // Presence. Each returns false for an unknown nick or room.
    bool EnterRoom(const QString& nick, const QString& roomId, int idle = 0);
    bool LeaveRoom(const QString& nick, const QString& roomId);
    bool SetClient(const QString& nick, bool present);
    bool TakeOffline(const QString& nick);
    // Sets the idle minutes in one room, or in every room when roomId is empty.
    bool SetIdle(const QString& nick, int minutes, const QString& roomId = QString());
    // The idle time of a person's own account in the chat: set in every room they are in, or in the main room when
    // they are in none.
    bool SetOwnIdle(const QString& account, int minutes);

    // Messages. QueueMessage leaves a message for an account from any nick and returns its id (0 for an unknown
    // account). NextMessage hands out the first message after lastId; messages up to lastId count as delivered and
    // are dropped.
    quint64 QueueMessage(const QString& to, const QString& from, const QString& text);
    std::optional<Message> NextMessage(const QString& account, quint64 lastId);
    // Leaves one message for every account, each from a simulated user (an on-line one when there is one), with a
    // numbered text, so that no two are alike. Returns how many were left.
    int LeaveMail();
    DeliveryResult Deliver(const QString& from, const QString& to, const QString& text, DeliveryKind kind);

    // The records the people reply holds for the watched nicks that are on-line, then the user's own records.
    QList<PeopleRecord> PeopleRecords(const QString& account, const QStringList& watched) const;
    QList<PeopleRecord> RecordsOf(const User& user) const;

    QJsonObject ToJson() const;
    // Everything that outlives a restart of the stand-in: rooms, users with passwords, presence and inboxes, the
    // clock and the last message id and time stamp, so that ids and time stamps never repeat. Sessions are not
    // kept: a restarted service has forgotten them. RestoreState takes such a state back; for one it cannot read
    // it returns false and leaves the world as it was.
    QJsonObject State() const;
    bool RestoreState(const QJsonObject& state);

private:
    struct Session {
        QString Nick; // folded to lower case
        quint64 LoginTick = 0;
    };

    void Populate();
    bool Chance(int perMille);
    int Pick(int count);
    void GrowIdle();
    void MoveSimulatedUser(User& user);
    void AnswerMessages();
    void LeaveMessagesForPeople();
    void ExpireOldSessions();
    QString NextStamp();
    QString RandomSender();

    QRandomGenerator WorldRandom;
    QRandomGenerator KeyRandom;
    bool Lively = true;
    bool FollowWallClock = false;
    bool EqualStamps = false;
    QDateTime SimulatedClock;
    QDateTime LastStamp;
    quint64 Ticks = 0;
    quint64 LastMessageId = 0;
    QList<Room> AllRooms;
    QList<User> AllUsers;
    QHash<QString, Session> Sessions;
    int SessionLife = 0;
    QList<QPair<QString, QString>> PendingAnswers; // (simulated user, who wrote to them)
};

} // namespace KlabosSim
