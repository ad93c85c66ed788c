#include "service.h"

#include "formfields.h"
#include "text/codepage.h"

namespace KlabosSim {

namespace {

const QByteArray EndpointPath = "/cgi-bin/klabos/mix.fcgi";
const QByteArray RoomPagePath = "/cgi-bin/klabos/chat.fcgi";
const QByteArray StartPagePath = "/cgi-bin/klabos/index.fcgi";

QByteArray ActionValue(const char* field) {
    return QByteArray(field).mid(int(sizeof("akce=")) - 1);
}

Reply Malformed(const QString& explanation) {
    return Reply::HttpError(400, explanation);
}

} // namespace

bool Service::Serves(const QByteArray& path) {
    return path == EndpointPath || path == RoomPagePath || path == StartPagePath;
}

Reply Service::Handle(const HttpRequest& request) {
    if (request.Path == EndpointPath) {
        return HandleEndpoint(request);
    }
    if (request.Method != "GET" && request.Method != "POST") {
        Reply reply = Reply::HttpError(405, QStringLiteral("The pages answer GET and POST."));
        reply.AddHeader("Allow", "GET, POST");
        return reply;
    }
    const FormFields query = FormFields::Parse(request.Method == "POST" ? request.Body : request.Query);
    if (request.Path == RoomPagePath) {
        return RoomPage(query);
    }
    if (request.Path == StartPagePath) {
        return StartPage(query);
    }
    return Reply::HttpError(404, QStringLiteral("No such page."));
}

Reply Service::HandleEndpoint(const HttpRequest& request) {
    if (request.Method != "POST") {
        Reply reply = Reply::HttpError(405, QStringLiteral("The endpoint takes form-encoded POST requests only."));
        reply.AddHeader("Allow", "POST");
        return reply;
    }
    const FormFields fields = FormFields::Parse(request.Body);
    const std::optional<QString> action = fields.Decoded("akce");
    if (!action) {
        return Malformed(QStringLiteral("The request has no readable \"akce\" field."));
    }
    if (*action == u"get") {
        return Login(fields);
    }
    if (*action == u"lidi") {
        return People(fields);
    }
    if (*action == u"zpravy") {
        return NextMessage(fields);
    }
    if (*action == QLatin1StringView(ActionValue(ChatMessageAction))) {
        return Send(fields, DeliveryKind::Chat);
    }
    if (*action == QLatin1StringView(ActionValue(ClientMessageAction))) {
        return Send(fields, DeliveryKind::Client);
    }
    return Malformed(QStringLiteral("Unknown action \"%1\".").arg(*action));
}

std::optional<QString> Service::Authorised(const FormFields& fields) const {
    const std::optional<QString> nick = TheWorld.SessionUser(fields.Raw("heslo"));
    const std::optional<QString> loginName = fields.Decoded("jmeno");
    if (!nick || !loginName || nick->compare(*loginName, Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return nick;
}

Reply Service::Login(const FormFields& fields) {
    const std::optional<QString> nick = fields.Decoded("jmeno");
    if (!nick || !fields.Has("heslo")) {
        return Malformed(QStringLiteral("A login needs the fields \"jmeno\" and \"heslo\"."));
    }
    // The program sends the password as typed; a form-encoded one is taken too.
    std::optional<QString> key = TheWorld.Login(*nick, fields.Raw("heslo"));
    const std::optional<QString> decodedPassword = fields.Decoded("heslo");
    if (!key && decodedPassword && *decodedPassword != fields.Raw("heslo")) {
        key = TheWorld.Login(*nick, *decodedPassword);
    }
    if (!key) {
        return Reply::ErrorPage(QStringLiteral("Špatné jméno nebo heslo."));
    }
    return Reply::Text(QStringLiteral("<>") + *key + QStringLiteral("<2>Vítejte na Klabosu, ") +
                       TheWorld.FindUser(*nick)->Nick);
}

QStringList Service::ParseWatchedList(const QString& list) {
    // The nicks come quoted and unencoded, joined by commas; a nick may itself hold a comma or a quote, so split
    // only at "','".
    QString inner = list;
    if (inner.isEmpty()) {
        return {};
    }
    if (inner.startsWith(u'\'')) {
        inner.remove(0, 1);
    }
    if (inner.endsWith(u'\'')) {
        inner.chop(1);
    }
    return inner.split(QStringLiteral("','"));
}

QString Service::PeopleReplyText(const QList<PeopleRecord>& records) {
    QString text = QStringLiteral("lidi\n");
    for (const PeopleRecord& record : records) {
        if (record.Client) {
            text += QStringLiteral(" *%1>KLIENT#>\n").arg(record.Nick);
        } else {
            // "00" ahead of the idle number: the program reads the idle minutes from after the last "0" before
            // the digit that precedes the star.
            text += QStringLiteral("00%1*%2>%3#%4>\n")
                        .arg(QString::number(record.Idle), record.Nick, record.RoomName, record.RoomId);
        }
    }
    text.replace(u'"', QStringLiteral("&quot;"));
    return text;
}

Reply Service::People(const FormFields& fields) {
    const std::optional<QString> nick = Authorised(fields);
    if (!nick) {
        return Reply::ErrorPage(QStringLiteral("Neplatné nebo prošlé přihlášení."));
    }
    QString list = fields.RawTail("lidi");
    if (!list.contains(u'\'') && list.contains(QStringLiteral("%27"))) {
        list = FormDecode(ToCp1250(list)).value_or(list); // a list sent form-encoded
    }
    const QStringList watched = ParseWatchedList(list);
    return Reply::Text(PeopleReplyText(TheWorld.PeopleRecords(*nick, watched)));
}

Reply Service::NextMessage(const FormFields& fields) {
    const std::optional<QString> nick = Authorised(fields);
    if (!nick) {
        return Reply::ErrorPage(QStringLiteral("Neplatné nebo prošlé přihlášení."));
    }
    bool numeric = false;
    const quint64 lastId = fields.Raw("last_msg").toULongLong(&numeric);
    if (!numeric) {
        return Malformed(QStringLiteral("\"last_msg\" must be the id of the last message received, or 0."));
    }
    const std::optional<Message> message = TheWorld.NextMessage(*nick, lastId);
    if (!message) {
        return Reply::Text(QStringLiteral("-"));
    }
    return Reply::Text(QString::number(message->Id) + u'<' + message->Stamp + u'<' + message->Sender + u'<' +
                       message->Text);
}

Reply Service::Send(const FormFields& fields, DeliveryKind kind) {
    const std::optional<QString> nick = Authorised(fields);
    if (!nick) {
        return Reply::Text(QStringLiteral("Spatne heslo nebo prava"));
    }
    const std::optional<QString> text = fields.Decoded("text");
    if (!text || !fields.Has("komu")) {
        return Malformed(QStringLiteral("A message needs the fields \"komu\" and \"text\"."));
    }
    // The program sends the addressee unencoded; a form-encoded nick is taken too.
    QString addressee = fields.Raw("komu");
    const std::optional<QString> decodedAddressee = fields.Decoded("komu");
    if (!TheWorld.FindUser(addressee) && decodedAddressee) {
        addressee = *decodedAddressee;
    }
    switch (TheWorld.Deliver(*nick, addressee, *text, kind)) {
    case DeliveryResult::Sent:
        return Reply::Text(QStringLiteral("zprava poslana"));
    case DeliveryResult::NotOnline:
        return Reply::Text(QStringLiteral("uzivatel neni online"));
    case DeliveryResult::NoRights:
        break;
    }
    return Reply::Text(QStringLiteral("Spatne heslo nebo prava"));
}

Reply Service::RoomPage(const FormFields& query) {
    const std::optional<QString> nick = Authorised(query);
    if (!nick) {
        return Reply::ErrorPage(QStringLiteral("Neplatné nebo prošlé přihlášení."));
    }
    const std::optional<QString> roomId = query.Decoded("ID_room");
    const Room* room = roomId ? TheWorld.FindRoom(*roomId) : nullptr;
    if (!room) {
        return Reply::ErrorPage(QStringLiteral("Taková místnost neexistuje."));
    }
    const Room shown = *room;
    TheWorld.EnterRoom(*nick, shown.Id); // opening the room's page is entering it
    QString people;
    for (const User& user : TheWorld.Users()) {
        for (const RoomPresence& presence : user.Rooms) {
            if (presence.RoomId == shown.Id) {
                people += QStringLiteral("<li>%1 <small>(%2 min)</small></li>\n")
                              .arg(HtmlEscaped(user.Nick), QString::number(presence.Idle));
            }
        }
    }
    return Reply::Html(QStringLiteral("Klabos - %1").arg(shown.Name),
                       QStringLiteral("<h1>%1</h1>\n<p>Jste přihlášen(a) jako <b>%2</b>.</p>\n<ul>\n%3</ul>")
                           .arg(HtmlEscaped(shown.Name), HtmlEscaped(*nick), people));
}

Reply Service::StartPage(const FormFields& query) {
    if (query.Decoded("akce").value_or(QString()) != u"vstup") {
        return Reply::Html(QStringLiteral("Klabos"), QStringLiteral("<h1>Klabos</h1>\n<p>Vítejte na Klabosu.</p>"));
    }
    const std::optional<QString> nick = Authorised(query);
    if (!nick) {
        return Reply::ErrorPage(QStringLiteral("Neplatné nebo prošlé přihlášení."));
    }
    QString rooms;
    for (const Room& room : TheWorld.Rooms()) {
        int present = 0;
        for (const User& user : TheWorld.Users()) {
            present += int(std::count_if(user.Rooms.cbegin(), user.Rooms.cend(),
                                         [&room](const RoomPresence& presence) { return presence.RoomId == room.Id; }));
        }
        rooms += QStringLiteral("<li><a href=\"%1?jmeno=%2&amp;heslo=%3&amp;ID_room=%4\">%5</a> (%6)</li>\n")
                     .arg(QString::fromLatin1(RoomPagePath), HtmlEscaped(query.Raw("jmeno")),
                          HtmlEscaped(query.Raw("heslo")), HtmlEscaped(room.Id), HtmlEscaped(room.Name),
                          QString::number(present));
    }
    return Reply::Html(
        QStringLiteral("Klabos - vstup"),
        QStringLiteral("<h1>Vítejte, %1</h1>\n<p>Místnosti:</p>\n<ul>\n%2</ul>").arg(HtmlEscaped(*nick), rooms));
}

} // namespace KlabosSim
