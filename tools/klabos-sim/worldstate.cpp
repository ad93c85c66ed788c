// The world's state across a restart of the stand-in.
#include "world.h"

#include <QJsonArray>

namespace KlabosSim {

namespace {

constexpr int StateVersion = 1;

QJsonArray PresenceToJson(const QList<RoomPresence>& rooms) {
    QJsonArray presence;
    for (const RoomPresence& inRoom : rooms) {
        presence.append(QJsonObject{{QStringLiteral("room"), inRoom.RoomId}, {QStringLiteral("idle"), inRoom.Idle}});
    }
    return presence;
}

QJsonArray InboxToJson(const QList<Message>& inbox) {
    QJsonArray messages;
    for (const Message& message : inbox) {
        messages.append(QJsonObject{{QStringLiteral("id"), QString::number(message.Id)},
                                    {QStringLiteral("stamp"), message.Stamp},
                                    {QStringLiteral("from"), message.Sender},
                                    {QStringLiteral("text"), message.Text}});
    }
    return messages;
}

std::optional<quint64> IdFromJson(const QJsonValue& value) {
    bool valid = false;
    const quint64 id = value.toString().toULongLong(&valid);
    return valid ? std::optional<quint64>(id) : std::nullopt;
}

std::optional<User> UserFromJson(const QJsonObject& object) {
    User user;
    user.Nick = object.value(QStringLiteral("nick")).toString();
    user.Password = object.value(QStringLiteral("password")).toString();
    user.Simulated = object.value(QStringLiteral("simulated")).toBool(true);
    user.CanSend = object.value(QStringLiteral("cansend")).toBool(true);
    user.Client = object.value(QStringLiteral("client")).toBool();
    if (!World::ValidNick(user.Nick)) {
        return std::nullopt;
    }
    for (const QJsonValue& presence : object.value(QStringLiteral("rooms")).toArray()) {
        const QJsonObject inRoom = presence.toObject();
        user.Rooms.append({inRoom.value(QStringLiteral("room")).toString(),
                           qBound(0, inRoom.value(QStringLiteral("idle")).toInt(), World::MaxIdleMinutes)});
    }
    for (const QJsonValue& stored : object.value(QStringLiteral("inbox")).toArray()) {
        const QJsonObject fields = stored.toObject();
        const std::optional<quint64> id = IdFromJson(fields.value(QStringLiteral("id")));
        if (!id) {
            return std::nullopt;
        }
        user.Inbox.append({*id, fields.value(QStringLiteral("stamp")).toString(),
                           fields.value(QStringLiteral("from")).toString(),
                           fields.value(QStringLiteral("text")).toString()});
    }
    return user;
}

} // namespace

QJsonObject World::State() const {
    QJsonArray rooms;
    for (const Room& room : AllRooms) {
        rooms.append(QJsonObject{{QStringLiteral("id"), room.Id}, {QStringLiteral("name"), room.Name}});
    }
    QJsonArray users;
    for (const User& user : AllUsers) {
        users.append(QJsonObject{{QStringLiteral("nick"), user.Nick},
                                 {QStringLiteral("password"), user.Password},
                                 {QStringLiteral("simulated"), user.Simulated},
                                 {QStringLiteral("cansend"), user.CanSend},
                                 {QStringLiteral("client"), user.Client},
                                 {QStringLiteral("rooms"), PresenceToJson(user.Rooms)},
                                 {QStringLiteral("inbox"), InboxToJson(user.Inbox)}});
    }
    return QJsonObject{
        {QStringLiteral("version"), StateVersion},
        {QStringLiteral("tick"), QString::number(Ticks)},
        {QStringLiteral("lively"), Lively},
        {QStringLiteral("clock"), QString::number(SimulatedClock.toMSecsSinceEpoch())},
        {QStringLiteral("lastMessageId"), QString::number(LastMessageId)},
        {QStringLiteral("lastStamp"), LastStamp.isValid() ? QString::number(LastStamp.toMSecsSinceEpoch()) : QString()},
        {QStringLiteral("sessionLife"), SessionLife},
        {QStringLiteral("rooms"), rooms},
        {QStringLiteral("users"), users}};
}

bool World::RestoreState(const QJsonObject& state) {
    if (state.value(QStringLiteral("version")).toInt() != StateVersion) {
        return false;
    }
    const std::optional<quint64> ticks = IdFromJson(state.value(QStringLiteral("tick")));
    const std::optional<quint64> lastId = IdFromJson(state.value(QStringLiteral("lastMessageId")));
    const std::optional<quint64> clockMs = IdFromJson(state.value(QStringLiteral("clock")));
    const QJsonValue lastStampMs = state.value(QStringLiteral("lastStamp"));
    const std::optional<quint64> stampMs = IdFromJson(lastStampMs);
    if (!ticks || !lastId || !clockMs || (!lastStampMs.toString().isEmpty() && !stampMs)) {
        return false;
    }
    const QDateTime clock = QDateTime::fromMSecsSinceEpoch(qint64(*clockMs), Qt::UTC);
    const QDateTime lastStamp = stampMs ? QDateTime::fromMSecsSinceEpoch(qint64(*stampMs)) : QDateTime();
    QList<Room> rooms;
    for (const QJsonValue& value : state.value(QStringLiteral("rooms")).toArray()) {
        const QJsonObject room = value.toObject();
        rooms.append({room.value(QStringLiteral("id")).toString(), room.value(QStringLiteral("name")).toString()});
    }
    QList<User> users;
    for (const QJsonValue& value : state.value(QStringLiteral("users")).toArray()) {
        const std::optional<User> user = UserFromJson(value.toObject());
        if (!user) {
            return false;
        }
        users.append(*user);
    }
    if (rooms.isEmpty()) {
        return false;
    }
    Ticks = *ticks;
    LastMessageId = *lastId;
    SimulatedClock = clock;
    LastStamp = lastStamp;
    Lively = state.value(QStringLiteral("lively")).toBool(true);
    SessionLife = qMax(0, state.value(QStringLiteral("sessionLife")).toInt());
    AllRooms = rooms;
    AllUsers = users;
    Sessions.clear();
    PendingAnswers.clear();
    return true;
}

} // namespace KlabosSim
