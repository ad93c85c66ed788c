// The stand-in's answers to every kind of request, over real sockets on 127.0.0.1, directly and as a proxy, and its
// control interface.
#include "peoplereader.h"
#include "server.h"
#include "simexchange.h"

#include "text/codepage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

using namespace KlabosSim;

namespace {

const QByteArray Endpoint = "/cgi-bin/klabos/mix.fcgi";
const QByteArray ProxiedEndpoint = "http://chat.klabos.cz/cgi-bin/klabos/mix.fcgi";

QByteArray Cp(const char* utf8) {
    return ToCp1250(QString::fromUtf8(utf8));
}

// The program's error-page test: "ERROR" (upper-cased text) before the first "/title".
bool IsErrorPage(const QByteArray& body) {
    const QString upper = FromCp1250(body).toUpper();
    const qsizetype marker = upper.indexOf(QStringLiteral("ERROR"));
    const qsizetype title = upper.indexOf(QStringLiteral("/TITLE"));
    return marker >= 0 && title >= 0 && marker < title;
}

} // namespace

class TestSimService : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Server> Sim;
    QByteArray Key;

    quint16 Port() const { return Sim->Port(); }
    QByteArray WithKey(QByteArray text) const { return text.replace("$KEY", Key); }
    SimExchange Control(const QByteArray& call) { return SimExchange::Get(Port(), call); }
    QByteArray PeopleBody(const QByteArray& watched) const {
        return "jmeno=demo&heslo=" + Key + "&klient=Cvrlik 1.81&akce=lidi&lidi=" + watched;
    }

private Q_SLOTS:
    void init();
    void cleanup() { Sim.reset(); }

    void login_data();
    void login();
    void people_data();
    void people();
    void peopleIdleMinutesReadBack();
    void peopleRefusesBadSession_data();
    void peopleRefusesBadSession();
    void messagesComeOneAfterAnother();
    void send_data();
    void send();
    void pages_data();
    void pages();
    void proxy_data();
    void proxy();
    void malformed_data();
    void malformed();
    void halfSentRequestDoesNotHurt();
    void controlRefusesBadCalls_data();
    void controlRefusesBadCalls();
    void controlSteersTheWorld();
    void controlFailsTheNextReply();
    void controlDrops_data();
    void controlDrops();
    void delayedReplyStillArrives();
    void refusesConnectionsWhileStopped();
    void controlReadsBackRequests();
    void failuresAimAtOneAction_data();
    void failuresAimAtOneAction();
    void takenRequestsAreHandedOutOnce();
    void controlSetsTheBusyWorld();
};

void TestSimService::init() {
    Sim = std::make_unique<Server>(42, false);
    World& world = Sim->TheWorld();
    world.SetLively(false);
    world.AddUser(QStringLiteral("demo"), QStringLiteral("demo"), false);
    world.AddUser(QStringLiteral("alice"), QStringLiteral("heslo"), true);
    world.AddUser(QStringLiteral("bob"), QStringLiteral("heslo"), true);
    world.AddUser(QStringLiteral("Ferda \"Mravenec\""), QStringLiteral("heslo"), true);
    world.AddUser(QStringLiteral("Žlutý kůň"), QStringLiteral("kůň"), true);
    QVERIFY(Sim->Listen());
    Key = world.Login(QStringLiteral("demo"), QStringLiteral("demo")).value_or(QString()).toLatin1();
    QVERIFY(!Key.isEmpty());
}

void TestSimService::login_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right password") << QByteArray("akce=get&jmeno=demo&heslo=demo") << true;
    QTest::newRow("nick in other letter case") << QByteArray("akce=get&jmeno=DEMO&heslo=demo") << true;
    QTest::newRow("wrong password") << QByteArray("akce=get&jmeno=demo&heslo=demo2") << false;
    QTest::newRow("password in other letter case") << QByteArray("akce=get&jmeno=demo&heslo=DEMO") << false;
    QTest::newRow("unknown nick") << QByteArray("akce=get&jmeno=nikdo&heslo=demo") << false;
    QTest::newRow("Czech nick encoded, password sent as typed")
        << QByteArray("akce=get&jmeno=%8Elut%FD+k%F9%F2&heslo=" + Cp("kůň")) << true;
    QTest::newRow("password sent form-encoded") << QByteArray("akce=get&jmeno=%8Elut%FD+k%F9%F2&heslo=k%F9%F2") << true;
}

void TestSimService::login() {
    QFETCH(QByteArray, body);
    QFETCH(bool, accepted);
    const SimExchange reply = SimExchange::Post(Port(), Endpoint, body);
    QCOMPARE(reply.Status(), 200);
    const QByteArray text = reply.Body();
    const qsizetype end = text.indexOf("<2>");
    if (accepted) {
        QVERIFY2(text.startsWith("<>") && end > 2, text.constData());
        const QString key = FromCp1250(text.mid(2, end - 2));
        QVERIFY(Sim->TheWorld().SessionUser(key).has_value());
        QVERIFY(key.toLatin1() != Key); // a fresh key for each login
    } else {
        QVERIFY(!text.startsWith("<>"));
        QVERIFY(IsErrorPage(text));
    }
}

void TestSimService::people_data() {
    QTest::addColumn<QByteArrayList>("setup");
    QTest::addColumn<QByteArray>("watched");
    QTest::addColumn<QStringList>("records");

    QTest::newRow("nobody on-line") << QByteArrayList() << QByteArray("'alice','bob'") << QStringList();
    QTest::newRow("a user in two rooms, in the order entered")
        << QByteArrayList{"/control/online?nick=alice&room=27&idle=30", "/control/online?nick=alice&room=12&idle=5"}
        << QByteArray("'alice'")
        << QStringList{QStringLiteral("room alice 30 Hudba a film 27"), QStringLiteral("room alice 5 Pokec 12")};
    QTest::newRow("a client user") << QByteArrayList{"/control/client?nick=bob"} << QByteArray("'bob'")
                                   << QStringList{QStringLiteral("client bob")};
    QTest::newRow("in a room and through the client")
        << QByteArrayList{"/control/client?nick=bob", "/control/online?nick=bob&room=33&idle=2"} << QByteArray("'bob'")
        << QStringList{QStringLiteral("room bob 2 Sport & hry 33"), QStringLiteral("client bob")};
    QTest::newRow("only watched users are reported")
        << QByteArrayList{"/control/online?nick=alice&room=1", "/control/online?nick=bob&room=1"} << QByteArray("'bob'")
        << QStringList{QStringLiteral("room bob 0 Hlavní místnost 1")};
    QTest::newRow("watched nicks match without regard to case")
        << QByteArrayList{"/control/online?nick=alice&room=12&idle=3"} << QByteArray("'ALICE'")
        << QStringList{QStringLiteral("room alice 3 Pokec 12")};
    QTest::newRow("a nick with double quotes")
        << QByteArrayList{"/control/online?nick=Ferda+%22Mravenec%22&room=41&idle=9"}
        << QByteArray("'Ferda \"Mravenec\"'") << QStringList{QStringLiteral("room Ferda \"Mravenec\" 9 Noční sova 41")};
    QTest::newRow("a Czech nick sent as Windows-1250")
        << QByteArrayList{"/control/online?nick=%C5%BDlut%C3%BD+k%C5%AF%C5%88&room=12&idle=11"} << Cp("'Žlutý kůň'")
        << QStringList{QStringLiteral("room Žlutý kůň 11 Pokec 12")};
    QTest::newRow("the user's own record without being watched")
        << QByteArrayList{"/control/ownidle?nick=demo&minutes=7"} << QByteArray("'alice'")
        << QStringList{QStringLiteral("room demo 7 Hlavní místnost 1")};
    QTest::newRow("an empty watched list still gives the own record")
        << QByteArrayList{"/control/ownidle?nick=demo&minutes=4"} << QByteArray()
        << QStringList{QStringLiteral("room demo 4 Hlavní místnost 1")};
    QTest::newRow("a list sent form-encoded")
        << QByteArrayList{"/control/client?nick=bob"} << QByteArray("%27alice%27%2C%27bob%27")
        << QStringList{QStringLiteral("client bob")};
    QTest::newRow("a nick watched twice is reported once")
        << QByteArrayList{"/control/client?nick=bob"} << QByteArray("'bob','Bob'")
        << QStringList{QStringLiteral("client bob")};
}

void TestSimService::people() {
    QFETCH(QByteArrayList, setup);
    QFETCH(QByteArray, watched);
    QFETCH(QStringList, records);
    for (const QByteArray& call : setup) {
        QCOMPARE(Control(call).Status(), 200);
    }
    const SimExchange reply = SimExchange::Post(Port(), Endpoint, PeopleBody(watched));
    QCOMPARE(reply.Status(), 200);
    QVERIFY(!IsErrorPage(reply.Body()));
    QVERIFY(!reply.Body().contains('"')); // double quotes travel as &quot;
    QCOMPARE(ReadPeopleReply(FromCp1250(reply.Body())), records);
}

void TestSimService::peopleIdleMinutesReadBack() {
    // Every idle value the stand-in can report must read back as itself by the program's rules.
    World& world = Sim->TheWorld();
    QVERIFY(world.EnterRoom(QStringLiteral("alice"), QStringLiteral("12")));
    QVERIFY(world.EnterRoom(QStringLiteral("bob"), QStringLiteral("27")));
    for (int minutes = 0; minutes <= World::MaxIdleMinutes; ++minutes) {
        world.SetIdle(QStringLiteral("alice"), minutes);
        world.SetIdle(QStringLiteral("bob"), World::MaxIdleMinutes - minutes);
        const QStringList records =
            ReadPeopleReply(Service::PeopleReplyText(world.PeopleRecords(QStringLiteral("x"), {"alice", "bob"})));
        QCOMPARE(records, (QStringList{QStringLiteral("room alice %1 Pokec 12").arg(minutes),
                                       QStringLiteral("room bob %1 Hudba a film 27").arg(99 - minutes)}));
    }
    world.SetIdle(QStringLiteral("alice"), 250);
    QCOMPARE(world.PeopleRecords(QStringLiteral("x"), {"alice"}).first().Idle, World::MaxIdleMinutes);
}

void TestSimService::peopleRefusesBadSession_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("expireFirst");
    QTest::newRow("unknown key") << QByteArray("jmeno=demo&heslo=nonsense&klient=Cvrlik 1.81&akce=lidi&lidi=") << false;
    QTest::newRow("key of another user") << QByteArray("jmeno=alice&heslo=$KEY&klient=Cvrlik 1.81&akce=lidi&lidi=")
                                         << false;
    QTest::newRow("expired key") << QByteArray("jmeno=demo&heslo=$KEY&klient=Cvrlik 1.81&akce=lidi&lidi=") << true;
    QTest::newRow("no key") << QByteArray("jmeno=demo&klient=Cvrlik 1.81&akce=lidi&lidi=") << false;
    QTest::newRow("message retrieval with an unknown key")
        << QByteArray("akce=zpravy&jmeno=demo&heslo=nonsense&last_msg=0") << false;
}

void TestSimService::peopleRefusesBadSession() {
    QFETCH(QByteArray, body);
    QFETCH(bool, expireFirst);
    if (expireFirst) {
        QCOMPARE(Control("/control/expire").Status(), 200);
    }
    const SimExchange reply = SimExchange::Post(Port(), Endpoint, WithKey(body));
    QCOMPARE(reply.Status(), 200);
    QVERIFY(IsErrorPage(reply.Body()));
    // Longer than any message reply the program would read, so it is never taken for a message.
    QVERIFY(reply.Body().size() >= 300);
}

void TestSimService::messagesComeOneAfterAnother() {
    World& world = Sim->TheWorld();
    const quint64 first =
        world.QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Hi<there"));
    const quint64 second = world.QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Ještě"));
    QCOMPARE(Control("/control/message?to=demo&from=Bob+%C5%BE&text=A+%3C3").Status(), 200);

    QByteArray lastId = "0";
    QStringList senders;
    QStringList texts;
    QStringList stamps;
    for (int round = 0; round < 3; ++round) {
        const SimExchange reply =
            SimExchange::Post(Port(), Endpoint, "akce=zpravy&jmeno=demo&heslo=" + Key + "&last_msg=" + lastId);
        const QStringList fields = FromCp1250(reply.Body()).split(u'<');
        QVERIFY2(fields.size() >= 4, reply.Body().constData());
        QVERIFY(reply.Body().size() < 300);
        lastId = fields.at(0).toLatin1();
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{14}$")).match(fields.at(1)).hasMatch());
        stamps.append(fields.at(1));
        senders.append(fields.at(2));
        texts.append(fields.mid(3).join(u'<'));
    }
    QCOMPARE(senders, (QStringList{QStringLiteral("alice"), QStringLiteral("alice"), QStringLiteral("Bob ž")}));
    QCOMPARE(texts, (QStringList{QStringLiteral("Hi<there"), QStringLiteral("Ještě"), QStringLiteral("A <3")}));
    QVERIFY(stamps.at(0) < stamps.at(1)); // one sender, two messages: two time stamps
    QVERIFY(QByteArray::number(first) != QByteArray::number(second));

    const SimExchange end =
        SimExchange::Post(Port(), Endpoint, "akce=zpravy&jmeno=demo&heslo=" + Key + "&last_msg=" + lastId);
    QCOMPARE(end.Body(), QByteArray("-"));
    // What was acknowledged by last_msg is not handed out again to a fresh run.
    const SimExchange fresh =
        SimExchange::Post(Port(), Endpoint, "akce=zpravy&jmeno=demo&heslo=" + Key + "&last_msg=0");
    QCOMPARE(fresh.Body(), QByteArray("-"));
}

void TestSimService::send_data() {
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArrayList>("setup");
    QTest::addColumn<QByteArray>("addressee");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("deliveredTo");

    const QByteArray chat = ChatMessageAction;
    const QByteArray client = ClientMessageAction;
    QTest::newRow("chat message to a user in a room")
        << chat << QByteArrayList{"/control/online?nick=alice&room=12"} << QByteArray("alice")
        << QByteArray("zprava poslana") << QStringLiteral("alice");
    QTest::newRow("chat message to a user only on the client")
        << chat << QByteArrayList{"/control/client?nick=alice"} << QByteArray("alice")
        << QByteArray("uzivatel neni online") << QString();
    QTest::newRow("chat message to an off-line user")
        << chat << QByteArrayList() << QByteArray("bob") << QByteArray("uzivatel neni online") << QString();
    QTest::newRow("chat message to an unknown nick")
        << chat << QByteArrayList() << QByteArray("nikdo") << QByteArray("uzivatel neni online") << QString();
    QTest::newRow("chat message to a Czech nick, sent unencoded")
        << chat << QByteArrayList{"/control/online?nick=%C5%BDlut%C3%BD+k%C5%AF%C5%88&room=1"} << Cp("Žlutý kůň")
        << QByteArray("zprava poslana") << QStringLiteral("Žlutý kůň");
    QTest::newRow("chat message to a nick sent form-encoded")
        << chat << QByteArrayList{"/control/online?nick=%C5%BDlut%C3%BD+k%C5%AF%C5%88&room=1"}
        << QByteArray("%8Elut%FD+k%F9%F2") << QByteArray("zprava poslana") << QStringLiteral("Žlutý kůň");
    QTest::newRow("client message to a client user")
        << client << QByteArrayList{"/control/client?nick=bob"} << QByteArray("bob") << QByteArray("zprava poslana")
        << QStringLiteral("bob");
    QTest::newRow("client message to a user only in a room")
        << client << QByteArrayList{"/control/online?nick=bob&room=1"} << QByteArray("bob")
        << QByteArray("uzivatel neni online") << QString();
    QTest::newRow("message to the user's own nick, wherever they are")
        << chat << QByteArrayList() << QByteArray("demo") << QByteArray("zprava poslana") << QStringLiteral("demo");
    QTest::newRow("sender without the right to send")
        << chat << QByteArrayList{"/control/online?nick=alice&room=12", "/control/account?nick=demo&cansend=0"}
        << QByteArray("alice") << QByteArray("Spatne heslo nebo prava") << QString();
    QTest::newRow("bad session key") << chat << QByteArrayList{"/control/online?nick=alice&room=12", "/control/expire"}
                                     << QByteArray("alice") << QByteArray("Spatne heslo nebo prava") << QString();
}

void TestSimService::send() {
    QFETCH(QByteArray, action);
    QFETCH(QByteArrayList, setup);
    QFETCH(QByteArray, addressee);
    QFETCH(QByteArray, reply);
    QFETCH(QString, deliveredTo);
    for (const QByteArray& call : setup) {
        QCOMPARE(Control(call).Status(), 200);
    }
    const QByteArray body =
        action + "&jmeno=demo&heslo=" + Key + "&komu=" + addressee + "&text=Ahoj+%E8au%2C+jak+je%3F";
    const SimExchange answer = SimExchange::Post(Port(), Endpoint, body);
    QCOMPARE(answer.Status(), 200);
    QCOMPARE(answer.Body(), reply);

    int inboxTotal = 0;
    for (const User& user : Sim->TheWorld().Users()) {
        inboxTotal += int(user.Inbox.size());
    }
    if (deliveredTo.isEmpty()) {
        QCOMPARE(inboxTotal, 0);
        return;
    }
    QCOMPARE(inboxTotal, 1);
    const User* addresseeUser = Sim->TheWorld().FindUser(deliveredTo);
    QVERIFY(addresseeUser);
    QCOMPARE(addresseeUser->Inbox.size(), 1);
    QCOMPARE(addresseeUser->Inbox.first().Sender, QStringLiteral("demo"));
    QCOMPARE(addresseeUser->Inbox.first().Text, QStringLiteral("Ahoj čau, jak je?"));
}

void TestSimService::pages_data() {
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("title");
    QTest::newRow("room page") << QByteArray("/cgi-bin/klabos/chat.fcgi?jmeno=demo&heslo=$KEY&ID_room=12")
                               << QStringLiteral("Klabos - Pokec");
    QTest::newRow("room page through the proxy")
        << QByteArray("http://chat.klabos.cz/cgi-bin/klabos/chat.fcgi?jmeno=demo&heslo=$KEY&ID_room=33")
        << QStringLiteral("Klabos - Sport &amp; hry");
    QTest::newRow("room page of an unknown room")
        << QByteArray("/cgi-bin/klabos/chat.fcgi?jmeno=demo&heslo=$KEY&ID_room=99") << QStringLiteral("ERROR");
    QTest::newRow("room page with a bad key")
        << QByteArray("/cgi-bin/klabos/chat.fcgi?jmeno=demo&heslo=bad&ID_room=12") << QStringLiteral("ERROR");
    QTest::newRow("logged-in start page") << QByteArray("/cgi-bin/klabos/index.fcgi?akce=vstup&jmeno=demo&heslo=$KEY")
                                          << QStringLiteral("Klabos - vstup");
    QTest::newRow("start page with a bad key")
        << QByteArray("/cgi-bin/klabos/index.fcgi?akce=vstup&jmeno=demo&heslo=zzz") << QStringLiteral("ERROR");
}

void TestSimService::pages() {
    QFETCH(QByteArray, target);
    QFETCH(QString, title);
    const SimExchange reply = SimExchange::Get(Port(), WithKey(target));
    QCOMPARE(reply.Status(), 200);
    const QString page = FromCp1250(reply.Body());
    QVERIFY2(page.contains(QStringLiteral("<title>%1").arg(title)) ||
                 page.contains(QStringLiteral("- %1</title>").arg(title)),
             qPrintable(page));
    if (title.startsWith(u"Klabos - P")) {
        // Opening a room's page enters the room.
        QCOMPARE(Sim->TheWorld().FindUser(QStringLiteral("demo"))->Rooms.size(), 1);
    }
}

void TestSimService::proxy_data() {
    QTest::addColumn<QString>("requiredUser");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("credentials"); // sent as Proxy-Authorization: Basic base64(credentials)
    QTest::addColumn<int>("status");

    QTest::newRow("no authentication asked, absolute target") << QString() << ProxiedEndpoint << QByteArray() << 200;
    QTest::newRow("absolute target with a port")
        << QString() << QByteArray("http://chat.klabos.cz:80/cgi-bin/klabos/mix.fcgi") << QByteArray() << 200;
    QTest::newRow("authentication asked, none sent")
        << QStringLiteral("proxy") << ProxiedEndpoint << QByteArray() << 407;
    QTest::newRow("authentication asked, wrong password")
        << QStringLiteral("proxy") << ProxiedEndpoint << QByteArray("proxy:wrong") << 407;
    QTest::newRow("authentication asked, right credentials")
        << QStringLiteral("proxy") << ProxiedEndpoint << QByteArray("proxy:tajne") << 200;
    QTest::newRow("authentication asked, Windows-1250 credentials")
        << QStringLiteral("uživatel") << ProxiedEndpoint << Cp("uživatel:tajne") << 200;
    QTest::newRow("authentication asked, direct request needs none")
        << QStringLiteral("proxy") << Endpoint << QByteArray() << 200;
}

void TestSimService::proxy() {
    QFETCH(QString, requiredUser);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, credentials);
    QFETCH(int, status);
    Sim->SetProxyAuth(requiredUser, QStringLiteral("tajne"));
    QList<QPair<QByteArray, QByteArray>> headers;
    if (!credentials.isEmpty()) {
        headers.append({"Proxy-Authorization", "Basic " + credentials.toBase64()});
    }
    const SimExchange reply = SimExchange::Post(Port(), target, "akce=get&jmeno=demo&heslo=demo", headers);
    QCOMPARE(reply.Status(), status);
    if (status == 407) {
        QCOMPARE(reply.Header("Proxy-Authenticate"), QByteArray("Basic realm=\"klabos-sim\""));
        QVERIFY(Sim->TheWorld().SessionKeys().size() == 1); // no login happened
    } else {
        QVERIFY(reply.Body().startsWith("<>"));
    }
    QCOMPARE(Sim->Requests().last().ViaProxy, target.startsWith("http://"));
}

void TestSimService::malformed_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    const QByteArray head = "POST /cgi-bin/klabos/mix.fcgi HTTP/1.0\r\n";

    QTest::newRow("request line of two words") << QByteArray("GET /\r\n\r\n") << 400;
    QTest::newRow("method in small letters") << QByteArray("post / HTTP/1.0\r\n\r\n") << 400;
    QTest::newRow("unknown protocol version") << QByteArray("GET / HTTP/2.0\r\n\r\n") << 505;
    QTest::newRow("binary garbage") << QByteArray::fromHex("01fffe00206761726261676500") + "\r\n\r\n" << 400;
    QTest::newRow("header line without a colon") << QByteArray(head + "Nonsense\r\n\r\n") << 400;
    QTest::newRow("header name of a stray carriage return") << QByteArray(head + "\r: x\r\n\r\n") << 400;
    QTest::newRow("blank between header name and colon") << QByteArray(head + "Host : x\r\n\r\n") << 400;
    QTest::newRow("POST without a length") << QByteArray(head + "\r\nakce=get") << 411;
    QTest::newRow("length not a number") << QByteArray(head + "Content-Length: ten\r\n\r\n") << 400;
    QTest::newRow("negative length") << QByteArray(head + "Content-Length: -5\r\n\r\n") << 400;
    QTest::newRow("two different lengths")
        << QByteArray(head + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd") << 400;
    QTest::newRow("body too large") << QByteArray(head + "Content-Length: 9999999\r\n\r\n") << 413;
    QTest::newRow("chunked body") << QByteArray(head + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n") << 501;
    QTest::newRow("header too large") << QByteArray(head + "X-Fill: " + QByteArray(20000, 'x') + "\r\n\r\n") << 431;
    QTest::newRow("https target") << QByteArray("GET https://chat.klabos.cz/ HTTP/1.0\r\n\r\n") << 400;
    QTest::newRow("absolute target without a host") << QByteArray("GET http:///x HTTP/1.0\r\n\r\n") << 400;
    QTest::newRow("target neither path nor address") << QByteArray("GET chat HTTP/1.0\r\n\r\n") << 400;
    QTest::newRow("GET of the endpoint") << QByteArray("GET /cgi-bin/klabos/mix.fcgi HTTP/1.0\r\n\r\n") << 405;
    QTest::newRow("no action field") << QByteArray(head + "Content-Length: 10\r\n\r\njmeno=demo") << 400;
    QTest::newRow("unknown action") << QByteArray(head + "Content-Length: 9\r\n\r\nakce=smaz") << 400;
    QTest::newRow("broken escape in the nick")
        << QByteArray(head + "Content-Length: 26\r\n\r\nakce=get&jmeno=%G1&heslo=x") << 400;
    QTest::newRow("escape cut short at the end")
        << QByteArray(head + "Content-Length: 24\r\n\r\nakce=get&heslo=x&jmeno=%") << 400;
    QTest::newRow("login without a password")
        << QByteArray(head + "Content-Length: 19\r\n\r\nakce=get&jmeno=demo") << 400;
    QTest::newRow("unknown page") << QByteArray("GET /index.html HTTP/1.0\r\n\r\n") << 404;
    QTest::newRow("lines ended by LF alone are still read")
        << QByteArray("POST /cgi-bin/klabos/mix.fcgi HTTP/1.0\nContent-Length: 30\n\nakce=get&jmeno=demo&heslo=demo")
        << 200;
}

void TestSimService::malformed() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const SimExchange reply = SimExchange::Send(Port(), request);
    QVERIFY(reply.Closed);
    QCOMPARE(reply.Status(), status);
    QVERIFY(!reply.Body().isEmpty()); // a page that says what was wrong
    // The stand-in keeps serving.
    QVERIFY(SimExchange::Post(Port(), Endpoint, "akce=get&jmeno=demo&heslo=demo").Body().startsWith("<>"));
}

void TestSimService::halfSentRequestDoesNotHurt() {
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, Port());
        QVERIFY(socket.waitForConnected(5000));
        socket.write("POST /cgi-bin/klabos/mix.fcgi HTTP/1.0\r\nContent-Length: 100\r\n\r\nakce=");
        QVERIFY(socket.waitForBytesWritten(5000));
        QTest::qWait(50);
        socket.abort();
    }
    QTest::qWait(50);
    QVERIFY(SimExchange::Post(Port(), Endpoint, "akce=get&jmeno=demo&heslo=demo").Body().startsWith("<>"));
}

void TestSimService::controlRefusesBadCalls_data() {
    QTest::addColumn<QByteArray>("call");
    QTest::addColumn<int>("status");
    QTest::newRow("unknown nick") << QByteArray("/control/online?nick=nikdo") << 400;
    QTest::newRow("unknown room") << QByteArray("/control/online?nick=alice&room=999") << 400;
    QTest::newRow("idle without minutes") << QByteArray("/control/idle?nick=alice") << 400;
    QTest::newRow("idle not a number") << QByteArray("/control/idle?nick=alice&minutes=many") << 400;
    QTest::newRow("idle of a user in no room") << QByteArray("/control/idle?nick=alice&minutes=3") << 400;
    QTest::newRow("message for an unknown account") << QByteArray("/control/message?to=nikdo&from=a&text=x") << 400;
    QTest::newRow("sender holding the field separator")
        << QByteArray("/control/message?to=demo&from=a%3Cb&text=x") << 400;
    QTest::newRow("nick holding a reply delimiter") << QByteArray("/control/account?nick=a*b&password=x") << 400;
    QTest::newRow("unknown drop kind") << QByteArray("/control/drop?kind=explode") << 400;
    QTest::newRow("negative tick count") << QByteArray("/control/tick?count=-1") << 400;
    QTest::newRow("crowd without a count") << QByteArray("/control/crowd") << 400;
    QTest::newRow("crowd too large") << QByteArray("/control/crowd?count=10001") << 400;
    QTest::newRow("key life not a number") << QByteArray("/control/keylife?minutes=soon") << 400;
    QTest::newRow("negative clock") << QByteArray("/control/clock?ms=-1") << 400;
    QTest::newRow("mail without a pace") << QByteArray("/control/mail") << 400;
    QTest::newRow("unknown command") << QByteArray("/control/launch") << 404;
}

void TestSimService::controlRefusesBadCalls() {
    QFETCH(QByteArray, call);
    QFETCH(int, status);
    const SimExchange reply = Control(call);
    QCOMPARE(reply.Status(), status);
    const QJsonObject answer = QJsonDocument::fromJson(reply.Body()).object();
    QCOMPARE(answer.value(QStringLiteral("ok")).toBool(true), false);
    QVERIFY(!answer.value(QStringLiteral("error")).toString().isEmpty());
}

void TestSimService::controlSteersTheWorld() {
    const World& world = Sim->TheWorld();
    const auto people = [this] {
        return ReadPeopleReply(FromCp1250(SimExchange::Post(Port(), Endpoint, PeopleBody("'alice','bob'")).Body()));
    };
    QCOMPARE(Control("/control/online?nick=alice&room=12&idle=3").Status(), 200);
    QCOMPARE(Control("/control/client?nick=bob").Status(), 200);
    QCOMPARE(people(), (QStringList{QStringLiteral("room alice 3 Pokec 12"), QStringLiteral("client bob")}));
    QCOMPARE(Control("/control/idle?nick=alice&minutes=17").Status(), 200);
    QCOMPARE(Control("/control/client?nick=bob&on=0").Status(), 200);
    QCOMPARE(people(), QStringList{QStringLiteral("room alice 17 Pokec 12")});
    QCOMPARE(Control("/control/offline?nick=alice").Status(), 200);
    QCOMPARE(people(), QStringList());
    QCOMPARE(Control("/control/ownidle?nick=demo&minutes=12").Status(), 200);
    QCOMPARE(people(), QStringList{QStringLiteral("room demo 12 Hlavní místnost 1")});
    QCOMPARE(Control("/control/message?to=demo&from=Kdokoli+%C5%BE&text=ahoj").Status(), 200);
    QCOMPARE(world.FindUser(QStringLiteral("demo"))->Inbox.first().Sender, QStringLiteral("Kdokoli ž"));
    QCOMPARE(Control("/control/tick?count=5").Status(), 200);
    QCOMPARE(people(), QStringList{QStringLiteral("room demo 17 Hlavní místnost 1")}); // idle grows each tick

    const QJsonObject state = QJsonDocument::fromJson(Control("/control/state").Body()).object();
    QCOMPARE(state.value(QStringLiteral("tick")).toInt(), 5);
    QCOMPARE(state.value(QStringLiteral("users")).toArray().size(), world.Users().size());
}

void TestSimService::controlFailsTheNextReply() {
    QCOMPARE(Control("/control/fail?count=2").Status(), 200);
    const QByteArray login = "akce=get&jmeno=demo&heslo=demo";
    QVERIFY(IsErrorPage(SimExchange::Post(Port(), Endpoint, login).Body()));
    QVERIFY(IsErrorPage(SimExchange::Post(Port(), Endpoint, PeopleBody("'alice'")).Body()));
    QVERIFY(SimExchange::Post(Port(), Endpoint, login).Body().startsWith("<>"));
}

void TestSimService::controlDrops_data() {
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("closed without a reply") << QByteArray("close");
    QTest::newRow("reset") << QByteArray("reset");
    QTest::newRow("cut short after half the body") << QByteArray("cut");
}

void TestSimService::controlDrops() {
    QFETCH(QByteArray, kind);
    QCOMPARE(Control("/control/drop?count=1&kind=" + kind).Status(), 200);
    const SimExchange dropped = SimExchange::Post(Port(), Endpoint, "akce=get&jmeno=demo&heslo=demo");
    QVERIFY(dropped.Closed);
    QVERIFY(Sim->Requests().last().Note.endsWith(kind == "close" ? "closed" : kind));
    if (kind == "cut") {
        // The header promises the whole answer; half of it comes.
        const QByteArray whole = Sim->Requests().last().ReplyBody;
        QCOMPARE(dropped.Header("Content-Length").toLongLong(), whole.size());
        QCOMPARE(dropped.Body(), whole.first(whole.size() / 2));
        QVERIFY(!dropped.Body().isEmpty());
    } else {
        QVERIFY(dropped.Raw.isEmpty());
        QCOMPARE(Sim->Requests().last().Status, 0);
    }
    QVERIFY(SimExchange::Post(Port(), Endpoint, "akce=get&jmeno=demo&heslo=demo").Body().startsWith("<>"));
}

void TestSimService::delayedReplyStillArrives() {
    QCOMPARE(Control("/control/delay?ms=100").Status(), 200);
    {
        // A client that gives up while its reply is held back.
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, Port());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(
            "POST /cgi-bin/klabos/mix.fcgi HTTP/1.0\r\nContent-Length: 30\r\n\r\nakce=get&jmeno=demo&heslo=demo");
        QVERIFY(socket.waitForBytesWritten(5000));
        QTest::qWait(20);
    }
    QVERIFY(SimExchange::Post(Port(), Endpoint, "akce=get&jmeno=demo&heslo=demo").Body().startsWith("<>"));
    QCOMPARE(Control("/control/delay?ms=0").Status(), 200);
}

void TestSimService::refusesConnectionsWhileStopped() {
    const quint16 port = Port();
    Sim->StopListening();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!socket.waitForConnected(5000));
    QCOMPARE(socket.error(), QAbstractSocket::ConnectionRefusedError);
    QVERIFY(Sim->Listen(port));
    QVERIFY(SimExchange::Post(port, Endpoint, "akce=get&jmeno=demo&heslo=demo").Body().startsWith("<>"));
}

void TestSimService::controlReadsBackRequests() {
    SimExchange::Post(Port(), ProxiedEndpoint, "akce=get&jmeno=%8Elut%FD+k%F9%F2&heslo=" + Cp("kůň"));
    SimExchange::Post(Port(), Endpoint, PeopleBody("'alice'"));
    Control("/control/state"); // control calls are not recorded

    const QJsonObject answer = QJsonDocument::fromJson(Control("/control/requests").Body()).object();
    QCOMPARE(answer.value(QStringLiteral("count")).toInt(), 2);
    const QJsonArray requests = answer.value(QStringLiteral("requests")).toArray();
    const QJsonObject login = requests.at(0).toObject();
    QCOMPARE(login.value(QStringLiteral("viaProxy")).toBool(), true);
    QCOMPARE(login.value(QStringLiteral("target")).toString(), QString::fromLatin1(ProxiedEndpoint));
    QCOMPARE(login.value(QStringLiteral("body")).toString(),
             QStringLiteral("akce=get&jmeno=%8Elut%FD+k%F9%F2&heslo=kůň"));
    QCOMPARE(login.value(QStringLiteral("fields")).toArray().at(1).toArray().at(1).toString(),
             QStringLiteral("Žlutý kůň"));
    QCOMPARE(login.value(QStringLiteral("headers")).toObject().value(QStringLiteral("User-Agent")).toString(),
             QStringLiteral("Mozilla/3.0 (compatible)"));
    QVERIFY(login.value(QStringLiteral("reply")).toString().startsWith(u"<>"));

    const QJsonObject later = QJsonDocument::fromJson(Control("/control/requests?since=1").Body()).object();
    QCOMPARE(later.value(QStringLiteral("requests")).toArray().size(), 1);
    QCOMPARE(Sim->Requests().at(1).Field(QStringLiteral("akce")), QStringLiteral("lidi"));

    QCOMPARE(Control("/control/requests/clear").Status(), 200);
    QCOMPARE(Sim->Requests().size(), 0);
}

void TestSimService::failuresAimAtOneAction_data() {
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<bool>("loginFails");
    QTest::addColumn<bool>("peopleFails");
    QTest::newRow("any request") << QByteArray() << true << false;
    QTest::newRow("only lists") << QByteArray("lidi") << false << true;
    QTest::newRow("only retrievals") << QByteArray("zpravy") << false << false;
}

void TestSimService::failuresAimAtOneAction() {
    QFETCH(QByteArray, action);
    QFETCH(bool, loginFails);
    QFETCH(bool, peopleFails);
    QCOMPARE(Control("/control/fail?count=1&akce=" + action).Status(), 200);
    QCOMPARE(IsErrorPage(SimExchange::Post(Port(), Endpoint, "akce=get&jmeno=demo&heslo=demo").Body()), loginFails);
    QCOMPARE(IsErrorPage(SimExchange::Post(Port(), Endpoint, PeopleBody("'alice'")).Body()), peopleFails);
    // A failure not spent on these waits for its request.
    const QJsonObject state = QJsonDocument::fromJson(Control("/control/state").Body()).object();
    QCOMPARE(state.value(QStringLiteral("failNext")).toInt(), loginFails || peopleFails ? 0 : 1);
}

void TestSimService::takenRequestsAreHandedOutOnce() {
    SimExchange::Post(Port(), Endpoint, "akce=get&jmeno=demo&heslo=demo");
    SimExchange::Post(Port(), Endpoint, PeopleBody("'alice'"));
    const QJsonArray first =
        QJsonDocument::fromJson(Control("/control/requests/take").Body()).object().value(u"requests"_qs).toArray();
    QCOMPARE(first.size(), 2);
    QVERIFY(first.at(0).toObject().value(u"receivedAt"_qs).toInteger() > 0);
    SimExchange::Post(Port(), Endpoint, PeopleBody("'bob'"));
    const QJsonArray second =
        QJsonDocument::fromJson(Control("/control/requests/take").Body()).object().value(u"requests"_qs).toArray();
    QCOMPARE(second.size(), 1);
    QVERIFY(second.at(0).toObject().value(u"body"_qs).toString().endsWith(u"'bob'"));
    QCOMPARE(Sim->Requests().size(), 0);
}

void TestSimService::controlSetsTheBusyWorld() {
    const QJsonObject crowd = QJsonDocument::fromJson(Control("/control/crowd?count=40").Body()).object();
    QCOMPARE(crowd.value(u"nicks"_qs).toArray().size(), 40);
    QCOMPARE(Control("/control/keylife?minutes=2").Status(), 200);
    QCOMPARE(Control("/control/clock?ms=60000").Status(), 200);
    QCOMPARE(Control("/control/mail?ms=50").Status(), 200);
    const QJsonObject state = QJsonDocument::fromJson(Control("/control/state").Body()).object();
    QCOMPARE(state.value(u"keyLife"_qs).toInt(), 2);
    QCOMPARE(state.value(u"clockMs"_qs).toInt(), 60000);
    QCOMPARE(state.value(u"mailMs"_qs).toInt(), 50);
    // The mail comes by itself, numbered.
    const User* demo = Sim->TheWorld().FindUser(u"demo"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(demo->Inbox.size() >= 2, 20000);
    QVERIFY(demo->Inbox.at(0).Text.startsWith(QStringLiteral("Zpráva č. %1:").arg(demo->Inbox.at(0).Id)));
    QCOMPARE(Control("/control/mail?ms=0").Status(), 200);
    QCOMPARE(Control("/control/clock?ms=0").Status(), 200);
}

QTEST_GUILESS_MAIN(TestSimService)
#include "tst_simservice.moc"
