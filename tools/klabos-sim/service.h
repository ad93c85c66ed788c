#pragma once

#include "httprequest.h"
#include "reply.h"
#include "world.h"

namespace KlabosSim {

class FormFields;

// The action fields of the two send requests: a message to a chat user and a message to a client user.
inline constexpr char ChatMessageAction[] = "akce=vzkaz";
inline constexpr char ClientMessageAction[] = "akce=vzkazklient";

// The service's side of every request: the CGI endpoint of the session and the two pages the program opens in the
// browser. Pure over the world: no sockets, so it runs the same in tests and behind the server.
class Service {
public:
    explicit Service(World& world)
        : TheWorld(world) {}

    static bool Serves(const QByteArray& path);
    Reply Handle(const HttpRequest& request);

    // The people reply text for these records, before it is turned into Windows-1250.
    static QString PeopleReplyText(const QList<PeopleRecord>& records);
    // The watched nicks of the people request: 'a','b','c'.
    static QStringList ParseWatchedList(const QString& list);

private:
    Reply HandleEndpoint(const HttpRequest& request);
    Reply Login(const FormFields& fields);
    Reply People(const FormFields& fields);
    Reply NextMessage(const FormFields& fields);
    Reply Send(const FormFields& fields, DeliveryKind kind);
    Reply RoomPage(const FormFields& query);
    Reply StartPage(const FormFields& query);
    std::optional<QString> Authorised(const FormFields& fields) const;

    World& TheWorld;
};

} // namespace KlabosSim
