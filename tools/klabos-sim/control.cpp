#include "control.h"

#include "server.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <functional>

namespace KlabosSim {

namespace {

using TParameters = QHash<QString, QString>;

Reply Ok(QJsonObject answer = {}) {
    answer.insert(QStringLiteral("ok"), true);
    return Reply::Json(QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

Reply Refused(const QString& error, int status = 400) {
    const QJsonObject answer{{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
    return Reply::Json(QJsonDocument(answer).toJson(QJsonDocument::Compact), status);
}

void AddParameters(TParameters& parameters, const QByteArray& encoded) {
    if (encoded.isEmpty()) {
        return;
    }
    for (const QByteArray& pair : encoded.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray name = equals < 0 ? pair : pair.left(equals);
        QByteArray value = equals < 0 ? QByteArray() : pair.mid(equals + 1);
        value.replace('+', ' ');
        parameters.insert(QUrl::fromPercentEncoding(name), QUrl::fromPercentEncoding(value));
    }
}

// A whole number parameter; fallback when it is missing, nullopt when it is not a number.
std::optional<int> Number(const TParameters& parameters, const QString& name, std::optional<int> fallback) {
    if (!parameters.contains(name)) {
        return fallback;
    }
    bool valid = false;
    const int value = parameters.value(name).toInt(&valid);
    return valid ? std::optional<int>(value) : std::nullopt;
}

bool Flag(const TParameters& parameters, const QString& name, bool fallback) {
    if (!parameters.contains(name)) {
        return fallback;
    }
    const QString value = parameters.value(name);
    return value != u"0" && value != u"false" && value != u"off";
}

} // namespace

TParameters ControlEndpoint::Parameters(const HttpRequest& request) {
    TParameters parameters;
    AddParameters(parameters, request.Query);
    if (request.Method == "POST") {
        AddParameters(parameters, request.Body);
    }
    return parameters;
}

Reply ControlEndpoint::Handle(const HttpRequest& request) {
    const QString command = QString::fromUtf8(request.Path.mid(int(sizeof("/control/")) - 1));
    const TParameters parameters = Parameters(request);
    World& world = Sim.TheWorld();
    const QString nick = parameters.value(QStringLiteral("nick"));
    const auto unknownNick = [&nick] { return Refused(QStringLiteral("unknown nick \"%1\"").arg(nick)); };

    if (command == u"state") {
        QJsonObject state = world.ToJson();
        state.insert(QStringLiteral("failNext"), Sim.PendingFailures());
        state.insert(QStringLiteral("dropNext"), Sim.PendingDrops());
        state.insert(QStringLiteral("delayMs"), Sim.Delay());
        state.insert(QStringLiteral("proxyAuth"), Sim.ProxyAuthRequired());
        state.insert(QStringLiteral("requests"), int(Sim.Requests().size()));
        state.insert(QStringLiteral("clockMs"), Sim.ClockInterval());
        state.insert(QStringLiteral("mailMs"), Sim.MailInterval());
        state.insert(QStringLiteral("keyLife"), world.SessionLifeMinutes());
        return Ok(state);
    }
    if (command == u"requests") {
        const std::optional<int> since = Number(parameters, QStringLiteral("since"), 0);
        if (!since || *since < 0) {
            return Refused(QStringLiteral("since must be a number from 0"));
        }
        QJsonArray requests;
        for (qsizetype index = *since; index < Sim.Requests().size(); ++index) {
            requests.append(Sim.Requests().at(index).ToJson());
        }
        return Ok({{QStringLiteral("count"), int(Sim.Requests().size())}, {QStringLiteral("requests"), requests}});
    }
    if (command == u"requests/clear") {
        Sim.ClearRequests();
        return Ok();
    }
    if (command == u"requests/take") {
        QJsonArray requests;
        for (const RecordedRequest& request : Sim.TakeRequests()) {
            requests.append(request.ToJson());
        }
        return Ok({{QStringLiteral("requests"), requests}});
    }
    if (command == u"online") {
        const std::optional<int> idle = Number(parameters, QStringLiteral("idle"), 0);
        const QString room = parameters.value(QStringLiteral("room"), world.Rooms().first().Id);
        if (!idle) {
            return Refused(QStringLiteral("idle must be a number"));
        }
        if (!world.FindUser(nick)) {
            return unknownNick();
        }
        if (!world.EnterRoom(nick, room, *idle)) {
            return Refused(QStringLiteral("unknown room \"%1\"").arg(room));
        }
        return Ok();
    }
    if (command == u"client") {
        return world.SetClient(nick, Flag(parameters, QStringLiteral("on"), true)) ? Ok() : unknownNick();
    }
    if (command == u"leave") {
        if (!world.FindUser(nick)) {
            return unknownNick();
        }
        world.LeaveRoom(nick, parameters.value(QStringLiteral("room")));
        return Ok();
    }
    if (command == u"offline") {
        return world.TakeOffline(nick) ? Ok() : unknownNick();
    }
    if (command == u"idle" || command == u"ownidle") {
        const std::optional<int> minutes = Number(parameters, QStringLiteral("minutes"), std::nullopt);
        if (!minutes) {
            return Refused(QStringLiteral("minutes must be given as a number"));
        }
        if (!world.FindUser(nick)) {
            return unknownNick();
        }
        const bool done = command == u"ownidle"
                              ? world.SetOwnIdle(nick, *minutes)
                              : world.SetIdle(nick, *minutes, parameters.value(QStringLiteral("room")));
        return done ? Ok() : Refused(QStringLiteral("\"%1\" is in no such room").arg(nick));
    }
    if (command == u"message") {
        const QString from = parameters.value(QStringLiteral("from"));
        if (from.isEmpty() || from.contains(u'<')) {
            return Refused(QStringLiteral("from must be a nick without \"<\""));
        }
        const quint64 id =
            world.QueueMessage(parameters.value(QStringLiteral("to")), from, parameters.value(QStringLiteral("text")));
        if (id == 0) {
            return Refused(QStringLiteral("unknown account \"%1\"").arg(parameters.value(QStringLiteral("to"))));
        }
        return Ok({{QStringLiteral("id"), qint64(id)}});
    }
    if (command == u"account") {
        // Changing an account keeps what the call does not name.
        const User* existing = world.FindUser(nick);
        const QString password =
            parameters.value(QStringLiteral("password"), existing ? existing->Password : QString());
        const bool simulated = Flag(parameters, QStringLiteral("simulated"), existing && existing->Simulated);
        const bool canSend = Flag(parameters, QStringLiteral("cansend"), !existing || existing->CanSend);
        User* user = world.AddUser(nick, password, simulated);
        if (!user) {
            return Refused(QStringLiteral("a nick must be 1 to 40 characters without * < > # or control characters"));
        }
        user->CanSend = canSend;
        return Ok();
    }
    if (command == u"room") {
        if (!world.AddRoom(parameters.value(QStringLiteral("id")), parameters.value(QStringLiteral("name")))) {
            return Refused(QStringLiteral("a room needs a new id and a name without # < > *"));
        }
        return Ok();
    }
    if (command == u"expire") {
        if (parameters.contains(QStringLiteral("key"))) {
            world.ExpireSession(parameters.value(QStringLiteral("key")));
        } else {
            world.ExpireSessions();
        }
        return Ok();
    }
    if (command == u"tick") {
        const std::optional<int> count = Number(parameters, QStringLiteral("count"), 1);
        if (!count || *count < 0 || *count > 100000) {
            return Refused(QStringLiteral("count must be a number from 0 to 100000"));
        }
        for (int tick = 0; tick < *count; ++tick) {
            world.Tick();
        }
        return Ok({{QStringLiteral("tick"), qint64(world.TickCount())}});
    }
    if (command == u"lively") {
        world.SetLively(Flag(parameters, QStringLiteral("on"), true));
        return Ok();
    }
    if (command == u"equalstamps") {
        world.SetEqualStamps(Flag(parameters, QStringLiteral("on"), true));
        return Ok();
    }
    if (command == u"fail") {
        const std::optional<int> count = Number(parameters, QStringLiteral("count"), 1);
        if (!count || *count < 0) {
            return Refused(QStringLiteral("count must be a number from 0"));
        }
        Sim.FailNext(*count, parameters.value(QStringLiteral("akce")));
        return Ok();
    }
    if (command == u"crowd") {
        const std::optional<int> count = Number(parameters, QStringLiteral("count"), std::nullopt);
        if (!count || *count < 1 || *count > 10000) {
            return Refused(QStringLiteral("count must be a number from 1 to 10000"));
        }
        return Ok({{QStringLiteral("nicks"), QJsonArray::fromStringList(world.AddCrowd(*count))}});
    }
    if (command == u"keylife") {
        const std::optional<int> minutes = Number(parameters, QStringLiteral("minutes"), std::nullopt);
        if (!minutes || *minutes < 0) {
            return Refused(QStringLiteral("minutes must be given as a number from 0"));
        }
        world.SetSessionLife(*minutes);
        return Ok();
    }
    if (command == u"clock" || command == u"mail") {
        const std::optional<int> ms = Number(parameters, QStringLiteral("ms"), std::nullopt);
        if (!ms || *ms < 0) {
            return Refused(QStringLiteral("ms must be given as a number from 0"));
        }
        if (command == u"clock") {
            Sim.StartClock(*ms);
        } else {
            Sim.StartMail(*ms);
        }
        return Ok();
    }
    if (command == u"delay") {
        const std::optional<int> ms = Number(parameters, QStringLiteral("ms"), std::nullopt);
        if (!ms || *ms < 0) {
            return Refused(QStringLiteral("ms must be given as a number from 0"));
        }
        Sim.SetDelay(*ms);
        return Ok();
    }
    if (command == u"drop") {
        const std::optional<int> count = Number(parameters, QStringLiteral("count"), 1);
        const QString kind = parameters.value(QStringLiteral("kind"), QStringLiteral("close"));
        const QHash<QString, Server::DropKind> kinds{{QStringLiteral("close"), Server::DropKind::Close},
                                                     {QStringLiteral("reset"), Server::DropKind::Reset},
                                                     {QStringLiteral("cut"), Server::DropKind::Cut}};
        if (!count || *count < 0 || !kinds.contains(kind)) {
            return Refused(QStringLiteral("count must be a number from 0 and kind close, reset or cut"));
        }
        Sim.DropNext(*count, kinds.value(kind));
        return Ok();
    }
    if (command == u"proxyauth") {
        Sim.SetProxyAuth(parameters.value(QStringLiteral("user")), parameters.value(QStringLiteral("password")));
        return Ok();
    }
    return Refused(QStringLiteral("no control command \"%1\"").arg(command), 404);
}

} // namespace KlabosSim
