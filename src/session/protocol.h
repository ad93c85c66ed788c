#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// The session's side of the conversation with the service: request bodies, reply evaluation and the addresses of
// the service's pages. Pure functions over texts; the session code only feeds them.

// The one endpoint every session request goes to.
QString ServiceEndpoint();

// "akce=get&jmeno=<nick>&heslo=<password>", the password as typed; cut to 255 bytes.
QByteArray LoginRequestBody(const QString& loginName, const QString& password);
// "jmeno=..&heslo=<key>&klient=Cvrlik 1.81&akce=lidi&lidi='a','b'", nicks as stored; no length limit.
QByteArray PeopleRequestBody(const QString& loginName, const QString& sessionKey, const QStringList& watchedNicks);
// "akce=zpravy&jmeno=..&heslo=<key>&last_msg=<id>"; cut to 255 bytes.
QByteArray MessageRequestBody(const QString& loginName, const QString& sessionKey, const QString& lastMsgId);

// The session key between a leading "<>" and the first "<2>"; empty when the login failed.
QString CutSessionKey(QStringView loginReply);

// The service reports errors as an HTML page with "ERROR" (or "---+++---") in its title.
bool IsErrorReply(QStringView peopleReply);

// What the people reply names, in reply order. The views point into the reply and live as long as it does.
class TPeopleReplyHandler {
public:
    virtual ~TPeopleReplyHandler() = default;
    virtual void OnNick(QStringView nick) = 0;
    virtual void OnRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId) = 0;
    virtual void OnClientRecord(QStringView nick, QStringView idleText) = 0;
};

// One pass over the reply, without copying it. A record reads: anything, idle digits ending in "*", the nick ended by
// "<" or ">", then either a room name, "#", a room id and ">", or "KLIENT...#>" for a user present through the client.
void TokenizePeopleReply(QStringView reply, TPeopleReplyHandler& handler);

struct TMessageReply {
    bool NoMessage = false; // the service answered "-": nothing (more) is waiting
    QString Id;
    QString TimeStamp;     // yyyyMMddhhmmss, possibly followed by more characters
    QString FormattedTime; // dd.MM.yyyy hh:mm:ss; empty for a time stamp shorter than 14 characters
    QString Sender;
    QString Text;

    // A message that can be stored: the three separators were there and the id, time stamp and sender are not
    // empty. Anything else would be stored under an empty name or make the next request ask from an empty id.
    bool IsComplete() const { return !NoMessage && !Id.isEmpty() && !TimeStamp.isEmpty() && !Sender.isEmpty(); }
};

// The fields of a message reply; nothing for a reply that is empty or 300 characters or longer.
std::optional<TMessageReply> SplitMessageReply(QStringView reply);
// A reply of any length read as a message only when it is one beyond doubt: an id of digits, a time stamp that
// begins with 14 digits, and a sender. For the replies SplitMessageReply leaves (300 characters or more), which
// are mostly error pages but may be a long message, and for what came of a reply cut short.
std::optional<TMessageReply> SplitLongMessageReply(QStringView reply);
// The message id a reply begins with (the digits before its first "<"); empty when it begins otherwise.
QString MessageReplyId(QStringView reply);

// The room page and the logged-in start page, opened in the browser; each cut to 255 characters.
QString RoomPageUrl(const QString& loginName, const QString& sessionKey, const QString& roomId);
QString AutoLoginUrl(const QString& loginName, const QString& sessionKey);
