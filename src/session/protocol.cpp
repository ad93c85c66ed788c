#include "session/protocol.h"

#include "text/codepage.h"
#include "text/formencode.h"

#include <algorithm>

namespace {

constexpr qsizetype ShortBodyLimit = 255;
constexpr qsizetype UrlLimit = 255;
constexpr qsizetype MessageReplyLimit = 300;
// Longer is no id of the service's: a number of 20 digits is already beyond 64 bits.
constexpr qsizetype MessageIdLimit = 20;
// How the people request names the client to the service: wire text the service knows, fixed whatever version the
// program itself has.
constexpr char ClientField[] = "klient=Cvrlik 1.81";

QString ServiceBase() {
    return QStringLiteral("http://") + QStringLiteral(CVRLIK_SERVICE_HOST);
}

QString IdleBeforeStar(QStringView reply, qsizetype star, qsizetype start, QStringView previous) {
    if (star >= 1 && (reply[star - 1] == QLatin1Char(' ') || reply[star - 1] == QLatin1Char('>'))) {
        return QStringLiteral("-1");
    }
    // The idle minutes are the digits after the last '0' of the zero-padded number before the star.
    for (qsizetype q = star - 2; q >= start; --q) {
        if (reply[q] == QLatin1Char('0')) {
            return reply.sliced(q + 1, star - q - 1).toString();
        }
    }
    return previous.toString();
}

} // namespace

QString ServiceEndpoint() {
    return ServiceBase() + QStringLiteral("/cgi-bin/klabos/mix.fcgi");
}

QByteArray LoginRequestBody(const QString& loginName, const QString& password) {
    return (QByteArray("akce=get&jmeno=") + FormEncode(loginName) + "&heslo=" + ToCp1250(password))
        .left(ShortBodyLimit);
}

QByteArray PeopleRequestBody(const QString& loginName, const QString& sessionKey, const QStringList& watchedNicks) {
    QByteArray body = QByteArray("jmeno=") + FormEncode(loginName) + "&heslo=" + ToCp1250(sessionKey) + '&' +
                      ClientField + "&akce=lidi&lidi=";
    for (qsizetype i = 0; i < watchedNicks.size(); ++i) {
        if (i > 0) {
            body += ',';
        }
        body += '\'' + ToCp1250(watchedNicks.at(i)) + '\'';
    }
    return body;
}

QByteArray MessageRequestBody(const QString& loginName, const QString& sessionKey, const QString& lastMsgId) {
    return (QByteArray("akce=zpravy&jmeno=") + FormEncode(loginName) + "&heslo=" + ToCp1250(sessionKey) +
            "&last_msg=" + ToCp1250(lastMsgId))
        .left(ShortBodyLimit);
}

QString CutSessionKey(QStringView loginReply) {
    const qsizetype end = loginReply.indexOf(QLatin1String("<2>"));
    if (!loginReply.startsWith(QLatin1String("<>")) || end < 3) {
        return {};
    }
    return loginReply.sliced(2, end - 2).toString();
}

bool IsErrorReply(QStringView peopleReply) {
    qsizetype marker = peopleReply.indexOf(QLatin1String("ERROR"), 0, Qt::CaseInsensitive);
    if (marker < 0) {
        marker = peopleReply.indexOf(QLatin1String("---+++---"));
    }
    const qsizetype titleEnd = peopleReply.indexOf(QLatin1String("/title"), 0, Qt::CaseInsensitive);
    return marker >= 0 && titleEnd >= 0 && marker < titleEnd;
}

void TokenizePeopleReply(QStringView reply, TPeopleReplyHandler& handler) {
    enum { AfterRecord, Nick, RoomName, RoomId } state = AfterRecord;
    qsizetype start = 0; // the last delimiter acted on
    QString idleText;
    QStringView nick;
    QStringView roomName;
    const qsizetype length = reply.size();
    for (qsizetype i = 0; i < length; ++i) {
        const QChar character = reply[i];
        switch (state) {
        case AfterRecord:
            if (character == QLatin1Char('*')) {
                idleText = IdleBeforeStar(reply, i, start, idleText);
                state = Nick;
                start = i;
            }
            break;
        case Nick:
            if (character == QLatin1Char('<') || character == QLatin1Char('>')) {
                nick = reply.sliced(start + 1, i - start - 1);
                handler.OnNick(nick);
                state = RoomName;
                start = i;
            }
            break;
        case RoomName:
            if (character == QLatin1Char('#')) {
                roomName = reply.sliced(start + 1, i - start - 1);
                if (i + 1 < length && reply[i + 1] == QLatin1Char('>')) {
                    state = AfterRecord;
                    start = ++i; // the '>' closes the record and is skipped
                    if (roomName.left(6).compare(QLatin1String("KLIENT"), Qt::CaseInsensitive) == 0) {
                        handler.OnClientRecord(nick, idleText);
                    }
                } else {
                    state = RoomId;
                    start = i;
                }
            }
            break;
        case RoomId:
            if (character == QLatin1Char('>')) {
                handler.OnRoomRecord(nick, idleText, roomName, reply.sliced(start + 1, i - start - 1));
                state = AfterRecord;
                start = i;
            }
            break;
        }
    }
}

namespace {

bool AllDigits(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

TMessageReply SplitMessageFields(QStringView reply) {
    TMessageReply message;
    if (reply.front() == QLatin1Char('-')) {
        message.NoMessage = true;
        return message;
    }
    // A field whose closing '<' is missing stays empty, and so does every field after it.
    QString* const fields[] = {&message.Id, &message.TimeStamp, &message.Sender};
    qsizetype position = 0;
    bool separated = true;
    for (QString* field : fields) {
        const qsizetype separator = reply.indexOf(QLatin1Char('<'), position);
        if (separator < 0) {
            separated = false;
            break;
        }
        *field = reply.sliced(position, separator - position).toString();
        position = separator + 1;
    }
    if (separated) {
        message.Text = reply.sliced(position).toString();
    }
    const QString& stamp = message.TimeStamp;
    if (stamp.size() >= 14) {
        message.FormattedTime = stamp.mid(6, 2) + QLatin1Char('.') + stamp.mid(4, 2) + QLatin1Char('.') +
                                stamp.mid(0, 4) + QLatin1Char(' ') + stamp.mid(8, 2) + QLatin1Char(':') +
                                stamp.mid(10, 2) + QLatin1Char(':') + stamp.mid(12, 2);
    }
    return message;
}

} // namespace

std::optional<TMessageReply> SplitMessageReply(QStringView reply) {
    if (reply.isEmpty() || reply.size() >= MessageReplyLimit) {
        return std::nullopt;
    }
    return SplitMessageFields(reply);
}

std::optional<TMessageReply> SplitLongMessageReply(QStringView reply) {
    if (reply.isEmpty()) {
        return std::nullopt;
    }
    TMessageReply message = SplitMessageFields(reply);
    // An error page or any other text has no digits where a message has its id and time stamp.
    if (MessageReplyId(reply).isEmpty() || message.TimeStamp.size() < 14 ||
        !AllDigits(QStringView(message.TimeStamp).first(14)) || message.Sender.isEmpty()) {
        return std::nullopt;
    }
    return message;
}

QString MessageReplyId(QStringView reply) {
    const qsizetype separator = reply.indexOf(QLatin1Char('<'));
    const QStringView id = reply.first(qMax<qsizetype>(separator, 0));
    return id.size() <= MessageIdLimit && AllDigits(id) ? id.toString() : QString();
}

QString RoomPageUrl(const QString& loginName, const QString& sessionKey, const QString& roomId) {
    return (ServiceBase() + QStringLiteral("/cgi-bin/klabos/chat.fcgi?jmeno=") + FromCp1250(FormEncode(loginName)) +
            QStringLiteral("&heslo=") + sessionKey + QStringLiteral("&ID_room=") + FromCp1250(FormEncode(roomId)))
        .left(UrlLimit);
}

QString AutoLoginUrl(const QString& loginName, const QString& sessionKey) {
    return (ServiceBase() + QStringLiteral("/cgi-bin/klabos/index.fcgi?akce=vstup&jmeno=") +
            FromCp1250(FormEncode(loginName)) + QStringLiteral("&heslo=") + sessionKey)
        .left(UrlLimit);
}
