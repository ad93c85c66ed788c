#include "world.h"

#include <QJsonArray>

namespace KlabosSim {

namespace {

QString Folded(const QString& nick) {
    return nick.toCaseFolded();
}

template <typename TValue>
QStringList SortedKeys(const QHash<QString, TValue>& sessions) {
    QStringList keys = sessions.keys();
    keys.sort();
    return keys;
}

// What simulated users write, to the user of the program and in answer to a message.
const char* const Greetings[] = {
    "Ahoj, jak se máš?",
    "Přijdeš dnes večer do Pokecu?",
    "Díky za včerejšek, bylo to super!",
    "Máš chvilku? Potřebuju poradit <3",
    "Viděl jsi ten zápas? Žlutá karta v poslední minutě!",
    "Zítra v 8 u kašny, nezapomeň.",
    "Posílám pozdrav z Brna :-)",
    "Kde jsi byl celý týden?",
};
// The stems of a crowd's nicks, each followed by a number.
const char* const CrowdStems[] = {
    "Host", "Kačenka", "Šnek", "Ďobeček", "Rybář", "Žofka", "Toulavý kocour", "Čtenář", "Bubeník", "Lucinka",
};
const char* const Answers[] = {
    "Díky za zprávu, ozvu se.",
    "Jasně, platí!",
    "Teď nemůžu, napíšu později.",
    "Haha, to je dobrý :-D",
};

} // namespace

World::World(quint32 seed, bool populate)
    : WorldRandom(seed)
    , KeyRandom(seed ^ 0x5eedc0deU)
    , SimulatedClock(QDate(2026, 1, 15), QTime(18, 0), Qt::UTC) {
    AddRoom(QStringLiteral("1"), QStringLiteral("Hlavní místnost"));
    AddRoom(QStringLiteral("12"), QStringLiteral("Pokec"));
    AddRoom(QStringLiteral("27"), QStringLiteral("Hudba a film"));
    AddRoom(QStringLiteral("33"), QStringLiteral("Sport & hry"));
    AddRoom(QStringLiteral("41"), QStringLiteral("Noční sova"));
    if (populate) {
        Populate();
    }
}

void World::Populate() {
    AddUser(QStringLiteral("demo"), QStringLiteral("demo"), false);
    const QStringList nicks = {
        QStringLiteral("Anička"),    QStringLiteral("Bára"),     QStringLiteral("Cipísek"),
        QStringLiteral("Dědek"),     QStringLiteral("Ema"),      QStringLiteral("Ferda \"Mravenec\""),
        QStringLiteral("Gustav"),    QStringLiteral("Hanka"),    QStringLiteral("Jirka_77"),
        QStringLiteral("Žlutý kůň"), QStringLiteral("Kormoran"), QStringLiteral("Lucie"),
    };
    for (const QString& nick : nicks) {
        AddUser(nick, QStringLiteral("heslo"), true);
    }
    // About half of them are on-line when the world starts.
    for (User& user : AllUsers) {
        if (!user.Simulated || !Chance(500)) {
            continue;
        }
        if (Chance(250)) {
            user.Client = true;
        } else {
            user.Rooms.append({AllRooms.at(Pick(int(AllRooms.size()))).Id, Pick(30)});
        }
    }
    // The user of the demo account sits in the main room.
    AllUsers.first().Rooms.append({AllRooms.first().Id, 0});
}

QDateTime World::Now() const {
    return FollowWallClock ? QDateTime::currentDateTime() : SimulatedClock;
}

bool World::Chance(int perMille) {
    return int(WorldRandom.bounded(1000)) < perMille;
}

int World::Pick(int count) {
    return count <= 0 ? 0 : int(WorldRandom.bounded(count));
}

void World::Tick() {
    ++Ticks;
    SimulatedClock = SimulatedClock.addSecs(60);
    GrowIdle();
    ExpireOldSessions();
    if (!Lively) {
        PendingAnswers.clear();
        return;
    }
    for (User& user : AllUsers) {
        if (user.Simulated) {
            MoveSimulatedUser(user);
        }
    }
    AnswerMessages();
    LeaveMessagesForPeople();
}

void World::GrowIdle() {
    for (User& user : AllUsers) {
        for (RoomPresence& presence : user.Rooms) {
            presence.Idle = qMin(presence.Idle + 1, MaxIdleMinutes);
        }
        // The service throws out whoever has been idle too long.
        user.Rooms.removeIf([](const RoomPresence& presence) { return presence.Idle > KickIdleMinutes; });
    }
}

void World::MoveSimulatedUser(User& user) {
    if (!user.Online()) {
        if (Chance(100)) {
            if (Chance(250)) {
                user.Client = true;
            } else {
                user.Rooms.append({AllRooms.at(Pick(int(AllRooms.size()))).Id, Pick(6)});
            }
        }
        return;
    }
    if (Chance(40)) {
        user.Rooms.clear();
        user.Client = false;
        return;
    }
    for (RoomPresence& presence : user.Rooms) {
        if (Chance(300)) {
            presence.Idle = 0; // said something
        }
    }
    user.Rooms.removeIf([this](const RoomPresence& presence) { return presence.Idle >= 20 && Chance(200); });
    if (Chance(30)) {
        const QString roomId = AllRooms.at(Pick(int(AllRooms.size()))).Id;
        const bool alreadyThere =
            std::any_of(user.Rooms.cbegin(), user.Rooms.cend(),
                        [&roomId](const RoomPresence& presence) { return presence.RoomId == roomId; });
        if (!alreadyThere) {
            user.Rooms.append({roomId, 0});
        }
    }
    if (user.Client && Chance(50)) {
        user.Client = false;
    }
}

void World::AnswerMessages() {
    const QList<QPair<QString, QString>> answers = std::exchange(PendingAnswers, {});
    for (const auto& answer : answers) {
        QueueMessage(answer.second, answer.first, QString::fromUtf8(Answers[Pick(int(std::size(Answers)))]));
    }
}

void World::LeaveMessagesForPeople() {
    QStringList people;
    QStringList onlineSimulated;
    for (const User& user : AllUsers) {
        if (!user.Simulated) {
            people.append(user.Nick);
        } else if (user.Online()) {
            onlineSimulated.append(user.Nick);
        }
    }
    for (const QString& person : people) {
        if (Chance(100) && !onlineSimulated.isEmpty()) {
            const QString& sender = onlineSimulated.at(Pick(int(onlineSimulated.size())));
            QueueMessage(person, sender, QString::fromUtf8(Greetings[Pick(int(std::size(Greetings)))]));
        }
    }
}

void World::ExpireOldSessions() {
    if (SessionLife <= 0) {
        return;
    }
    Sessions.removeIf([this](const QHash<QString, Session>::iterator session) {
        return Ticks - session->LoginTick >= quint64(SessionLife);
    });
}

QStringList World::AddCrowd(int count) {
    QStringList nicks;
    int number = 1;
    for (int added = 0; added < count; ++added) {
        QString nick;
        do {
            nick = QStringLiteral("%1 %2")
                       .arg(QString::fromUtf8(CrowdStems[number % int(std::size(CrowdStems))]))
                       .arg(number);
            ++number;
        } while (FindUser(nick));
        User* user = AddUser(nick, QStringLiteral("heslo"), true);
        if (Chance(500)) {
            user->Rooms.append({AllRooms.at(Pick(int(AllRooms.size()))).Id, Pick(30)});
        }
        nicks.append(nick);
    }
    return nicks;
}

bool World::ValidNick(const QString& nick) {
    if (nick.isEmpty() || nick.size() > 40) {
        return false;
    }
    for (const QChar character : nick) {
        if (character.unicode() < 0x20 || character == u'*' || character == u'<' || character == u'>' ||
            character == u'#') {
            return false;
        }
    }
    return true;
}

User* World::AddUser(const QString& nick, const QString& password, bool simulated) {
    if (!ValidNick(nick)) {
        return nullptr;
    }
    if (User* existing = FindUser(nick)) {
        existing->Password = password;
        existing->Simulated = simulated;
        return existing;
    }
    User user;
    user.Nick = nick;
    user.Password = password;
    user.Simulated = simulated;
    AllUsers.append(user);
    return &AllUsers.last();
}

User* World::FindUser(const QString& nick) {
    const QString folded = Folded(nick);
    for (User& user : AllUsers) {
        if (Folded(user.Nick) == folded) {
            return &user;
        }
    }
    return nullptr;
}

const User* World::FindUser(const QString& nick) const {
    return const_cast<World*>(this)->FindUser(nick);
}

const Room* World::FindRoom(const QString& id) const {
    for (const Room& room : AllRooms) {
        if (room.Id == id) {
            return &room;
        }
    }
    return nullptr;
}

const Room* World::AddRoom(const QString& id, const QString& name) {
    // Room ids and names are written into the people reply between its delimiters.
    if (id.isEmpty() || name.isEmpty() || FindRoom(id) || id.contains(u'>') || name.contains(u'#') ||
        id.contains(u'#') || name.contains(u'>') || name.contains(u'<') || name.contains(u'*')) {
        return nullptr;
    }
    AllRooms.append({id, name});
    return &AllRooms.last();
}

std::optional<QString> World::Login(const QString& nick, const QString& password) {
    const User* user = FindUser(nick);
    if (!user || user->Password != password) {
        return std::nullopt;
    }
    QString key;
    do {
        key = QString::number(KeyRandom.generate64(), 36).rightJustified(13, u'0');
    } while (Sessions.contains(key));
    Sessions.insert(key, {Folded(user->Nick), Ticks});
    return key;
}

std::optional<QString> World::SessionUser(const QString& key) const {
    const auto found = Sessions.constFind(key);
    if (found == Sessions.cend()) {
        return std::nullopt;
    }
    const User* user = FindUser(found->Nick);
    if (!user) {
        return std::nullopt;
    }
    return user->Nick;
}

bool World::EnterRoom(const QString& nick, const QString& roomId, int idle) {
    User* user = FindUser(nick);
    if (!user || !FindRoom(roomId)) {
        return false;
    }
    idle = qBound(0, idle, MaxIdleMinutes);
    for (RoomPresence& presence : user->Rooms) {
        if (presence.RoomId == roomId) {
            presence.Idle = idle;
            return true;
        }
    }
    user->Rooms.append({roomId, idle});
    return true;
}

bool World::LeaveRoom(const QString& nick, const QString& roomId) {
    User* user = FindUser(nick);
    if (!user) {
        return false;
    }
    return user->Rooms.removeIf([&roomId](const RoomPresence& presence) { return presence.RoomId == roomId; }) > 0;
}

bool World::SetClient(const QString& nick, bool present) {
    User* user = FindUser(nick);
    if (!user) {
        return false;
    }
    user->Client = present;
    return true;
}

bool World::TakeOffline(const QString& nick) {
    User* user = FindUser(nick);
    if (!user) {
        return false;
    }
    user->Rooms.clear();
    user->Client = false;
    return true;
}

bool World::SetIdle(const QString& nick, int minutes, const QString& roomId) {
    User* user = FindUser(nick);
    if (!user) {
        return false;
    }
    minutes = qBound(0, minutes, MaxIdleMinutes);
    bool changed = false;
    for (RoomPresence& presence : user->Rooms) {
        if (roomId.isEmpty() || presence.RoomId == roomId) {
            presence.Idle = minutes;
            changed = true;
        }
    }
    return changed;
}

bool World::SetOwnIdle(const QString& account, int minutes) {
    const User* user = FindUser(account);
    if (!user) {
        return false;
    }
    if (user->Rooms.isEmpty()) {
        return EnterRoom(account, AllRooms.first().Id, minutes);
    }
    return SetIdle(account, minutes);
}

QString World::NextStamp() {
    if (EqualStamps && LastStamp.isValid()) {
        return LastStamp.toString(QStringLiteral("yyyyMMddhhmmss"));
    }
    QDateTime stamp = Now();
    stamp.setTime(QTime(stamp.time().hour(), stamp.time().minute(), stamp.time().second()));
    // Apart unless asked otherwise: stamps that follow the clock and never repeat are what most tests expect.
    if (LastStamp.isValid() && stamp <= LastStamp) {
        // In the clock's own time: a last stamp read back from a saved state may be in another.
        stamp = LastStamp.addSecs(1).toTimeSpec(stamp.timeSpec());
    }
    LastStamp = stamp;
    return stamp.toString(QStringLiteral("yyyyMMddhhmmss"));
}

quint64 World::QueueMessage(const QString& to, const QString& from, const QString& text) {
    User* user = FindUser(to);
    if (!user) {
        return 0;
    }
    Message message;
    message.Id = ++LastMessageId;
    message.Stamp = NextStamp();
    message.Sender = from;
    message.Text = text;
    user->Inbox.append(message);
    return message.Id;
}

std::optional<Message> World::NextMessage(const QString& account, quint64 lastId) {
    User* user = FindUser(account);
    if (!user) {
        return std::nullopt;
    }
    user->Inbox.removeIf([lastId](const Message& message) { return message.Id <= lastId; });
    if (user->Inbox.isEmpty()) {
        return std::nullopt;
    }
    return user->Inbox.first();
}

QString World::RandomSender() {
    QStringList online;
    QStringList simulated;
    for (const User& user : AllUsers) {
        if (user.Simulated) {
            simulated.append(user.Nick);
            if (user.Online()) {
                online.append(user.Nick);
            }
        }
    }
    const QStringList& from = online.isEmpty() ? simulated : online;
    return from.isEmpty() ? QStringLiteral("Klabos") : from.at(Pick(int(from.size())));
}

int World::LeaveMail() {
    QStringList accounts;
    for (const User& user : AllUsers) {
        if (!user.Simulated) {
            accounts.append(user.Nick);
        }
    }
    for (const QString& account : accounts) {
        const QString text = QStringLiteral("Zpráva č. %1: %2")
                                 .arg(LastMessageId + 1)
                                 .arg(QString::fromUtf8(Greetings[Pick(int(std::size(Greetings)))]));
        QueueMessage(account, RandomSender(), text);
    }
    return int(accounts.size());
}

DeliveryResult World::Deliver(const QString& from, const QString& to, const QString& text, DeliveryKind kind) {
    const User* sender = FindUser(from);
    if (!sender || !sender->CanSend) {
        return DeliveryResult::NoRights;
    }
    const User* addressee = FindUser(to);
    if (!addressee) {
        return DeliveryResult::NotOnline;
    }
    const bool toSelf = Folded(addressee->Nick) == Folded(sender->Nick);
    const bool reachable = kind == DeliveryKind::Chat ? !addressee->Rooms.isEmpty() : addressee->Client;
    if (!toSelf && !reachable) {
        return DeliveryResult::NotOnline;
    }
    const bool answers = addressee->Simulated && !toSelf;
    const QString addresseeNick = addressee->Nick;
    const QString senderNick = sender->Nick;
    QueueMessage(addresseeNick, senderNick, text);
    // Sending a message is activity in the chat: the sender is no longer idle.
    SetIdle(senderNick, 0);
    if (answers) {
        PendingAnswers.append({addresseeNick, senderNick});
    }
    return DeliveryResult::Sent;
}

QList<PeopleRecord> World::RecordsOf(const User& user) const {
    QList<PeopleRecord> records;
    for (const RoomPresence& presence : user.Rooms) {
        const Room* room = FindRoom(presence.RoomId);
        records.append({user.Nick, false, presence.Idle, room ? room->Name : QString(), presence.RoomId});
    }
    if (user.Client) {
        records.append({user.Nick, true, 0, QString(), QString()});
    }
    return records;
}

QList<PeopleRecord> World::PeopleRecords(const QString& account, const QStringList& watched) const {
    QList<PeopleRecord> records;
    QStringList seen;
    auto addUser = [&](const QString& nick) {
        const User* user = FindUser(nick);
        if (!user || seen.contains(Folded(user->Nick))) {
            return;
        }
        seen.append(Folded(user->Nick));
        records.append(RecordsOf(*user));
    };
    for (const QString& nick : watched) {
        addUser(nick);
    }
    addUser(account);
    return records;
}

QJsonObject World::ToJson() const {
    QJsonArray rooms;
    for (const Room& room : AllRooms) {
        rooms.append(QJsonObject{{QStringLiteral("id"), room.Id}, {QStringLiteral("name"), room.Name}});
    }
    QJsonArray users;
    for (const User& user : AllUsers) {
        QJsonArray presence;
        for (const RoomPresence& inRoom : user.Rooms) {
            presence.append(
                QJsonObject{{QStringLiteral("room"), inRoom.RoomId}, {QStringLiteral("idle"), inRoom.Idle}});
        }
        QJsonArray inbox;
        for (const Message& message : user.Inbox) {
            inbox.append(QJsonObject{{QStringLiteral("id"), qint64(message.Id)},
                                     {QStringLiteral("stamp"), message.Stamp},
                                     {QStringLiteral("from"), message.Sender},
                                     {QStringLiteral("text"), message.Text}});
        }
        users.append(QJsonObject{{QStringLiteral("nick"), user.Nick},
                                 {QStringLiteral("simulated"), user.Simulated},
                                 {QStringLiteral("cansend"), user.CanSend},
                                 {QStringLiteral("client"), user.Client},
                                 {QStringLiteral("rooms"), presence},
                                 {QStringLiteral("inbox"), inbox}});
    }
    return QJsonObject{{QStringLiteral("tick"), qint64(Ticks)},
                       {QStringLiteral("lively"), Lively},
                       {QStringLiteral("equalStamps"), EqualStamps},
                       {QStringLiteral("clock"), Now().toString(QStringLiteral("yyyyMMddhhmmss"))},
                       {QStringLiteral("sessions"), QJsonArray::fromStringList(SortedKeys(Sessions))},
                       {QStringLiteral("rooms"), rooms},
                       {QStringLiteral("users"), users}};
}

} // namespace KlabosSim
