#include "session/protocol.h"

#include <QTest>

namespace {

// Writes the tokenizer's events as one line each, so a test states what it expects as plain text.
class TEventRecorder : public TPeopleReplyHandler {
public:
    QStringList Events;
    void OnNick(QStringView nick) override { Events << QStringLiteral("nick ") + nick.toString(); }
    void OnRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId) override {
        Events << QStringLiteral("room %1 (%2) %3 #%4")
                      .arg(nick.toString(), idleText.toString(), roomName.toString(), roomId.toString());
    }
    void OnClientRecord(QStringView nick, QStringView idleText) override {
        Events << QStringLiteral("client %1 (%2)").arg(nick.toString(), idleText.toString());
    }
};

} // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestBodies() {
        QCOMPARE(LoginRequestBody(QStringLiteral("Žlutý kůň"), QStringLiteral("a&b c")),
                 QByteArray("akce=get&jmeno=%8Elut%FD+k%F9%F2&heslo=a&b c"));
        QCOMPARE(PeopleRequestBody(QStringLiteral("me"), QStringLiteral("K3y"), {"a", "b b", "č"}),
                 QByteArray("jmeno=me&heslo=K3y&klient=Cvrlik 1.81&akce=lidi&lidi='a','b b','\xE8'"));
        QCOMPARE(PeopleRequestBody(QStringLiteral("me"), QStringLiteral("K"), {}),
                 QByteArray("jmeno=me&heslo=K&klient=Cvrlik 1.81&akce=lidi&lidi="));
        QCOMPARE(MessageRequestBody(QStringLiteral("me"), QStringLiteral("K"), QStringLiteral("17")),
                 QByteArray("akce=zpravy&jmeno=me&heslo=K&last_msg=17"));
    }

    void shortBodiesAreCutTo255Bytes() {
        const QByteArray login = LoginRequestBody(QStringLiteral("me"), QString(400, QLatin1Char('p')));
        QCOMPARE(login.size(), 255);
        QVERIFY(login.startsWith("akce=get&jmeno=me&heslo=ppp"));
        QCOMPARE(MessageRequestBody(QString(300, QLatin1Char('n')), QStringLiteral("K"), QStringLiteral("1")).size(),
                 255);
        QCOMPARE(PeopleRequestBody(QStringLiteral("me"), QStringLiteral("K"), QStringList(100, QStringLiteral("nick")))
                     .size(),
                 qsizetype(QByteArray("jmeno=me&heslo=K&klient=Cvrlik 1.81&akce=lidi&lidi=").size() + 100 * 7 - 1));
    }

    void sessionKey_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("key");
        QTest::newRow("key and trailing text") << "<>Ab12<2>anything<2>"
                                               << "Ab12";
        QTest::newRow("one character") << "<>k<2>"
                                       << "k";
        QTest::newRow("marker right after the start") << "<><2>x"
                                                      << "";
        QTest::newRow("no end marker") << "<>Ab12"
                                       << "";
        QTest::newRow("no start marker") << "x<>Ab12<2>"
                                         << "";
        QTest::newRow("error page") << "<html><title>ERROR</title></html>"
                                    << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void sessionKey() {
        QFETCH(QString, reply);
        QFETCH(QString, key);
        QCOMPARE(CutSessionKey(reply), key);
    }

    void errorReply_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("isError");
        QTest::newRow("error in the title") << "<html><head><title>Klabos ERROR</title></head></html>" << true;
        QTest::newRow("lower-case error") << "<TITLE>error</TITLE>" << true;
        QTest::newRow("dashes in the title") << "<title>---+++---</title>" << true;
        QTest::newRow("error only in the body") << "<title>Lidi</title><body>ERROR</body>" << false;
        QTest::newRow("error in the body hides the dashes") << "<title>---+++---</title><body>error</body>" << false;
        QTest::newRow("no title") << "ERROR" << false;
        QTest::newRow("ordinary list") << "0012*alice>Lobby#42>" << false;
    }
    void errorReply() {
        QFETCH(QString, reply);
        QFETCH(bool, isError);
        QCOMPARE(IsErrorReply(reply), isError);
    }

    void tokenizer_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("one room") << "0012*alice>Lobby#42>" << QStringList{"nick alice", "room alice (12) Lobby #42"};
        QTest::newRow("two rooms") << "0012*alice>Lobby#42>0003*alice>Bar#7>"
                                   << QStringList{"nick alice", "room alice (12) Lobby #42", "nick alice",
                                                  "room alice (3) Bar #7"};
        QTest::newRow("client after a blank") << " *bob>KLIENT#>" << QStringList{"nick bob", "client bob (-1)"};
        QTest::newRow("client in lower case") << " *bob<klient 1.81#>" << QStringList{"nick bob", "client bob (-1)"};
        QTest::newRow("guest is no record") << " *bob>GUEST#>" << QStringList{"nick bob"};
        QTest::newRow("idle after a closing bracket")
            << "<b>*eve>Hall#1>" << QStringList{"nick eve", "room eve (-1) Hall #1"};
        QTest::newRow("star at the very start keeps empty idle")
            << "*eve>Hall#1>" << QStringList{"nick eve", "room eve () Hall #1"};
        QTest::newRow("no zero keeps the previous idle")
            << "005*a>R#1>x9*b>S#2>" << QStringList{"nick a", "room a (5) R #1", "nick b", "room b (5) S #2"};
        QTest::newRow("line breaks and markup between records")
            << "<html>\n0010*x>R#1>\r\n<br>0020*y>S#2>\n</html>"
            << QStringList{"nick x", "room x (10) R #1", "nick y", "room y (20) S #2"};
        QTest::newRow("quote in a nick") << "001*a\"b>R#1>" << QStringList{"nick a\"b", "room a\"b (1) R #1"};
        QTest::newRow("unfinished record") << "0012*alice>Lobby#4" << QStringList{"nick alice"};
        QTest::newRow("nothing to read") << "<html>nobody</html>" << QStringList{};
    }
    void tokenizer() {
        QFETCH(QString, reply);
        QFETCH(QStringList, events);
        TEventRecorder recorder;
        TokenizePeopleReply(reply, recorder);
        QCOMPARE(recorder.Events, events);
    }

    void messageReply_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("evaluated");
        QTest::addColumn<QStringList>("fields"); // id, time stamp, formatted time, sender, text
        QTest::addColumn<bool>("complete");
        QTest::newRow("message with a < in its text")
            << "17<20011231235959<alice<Hi<there" << true
            << QStringList{"17", "20011231235959", "31.12.2001 23:59:59", "alice", "Hi<there"} << true;
        QTest::newRow("longer time stamp")
            << "5<2001123123595912<bob<x" << true
            << QStringList{"5", "2001123123595912", "31.12.2001 23:59:59", "bob", "x"} << true;
        QTest::newRow("short time stamp") << "5<2001<bob<x" << true << QStringList{"5", "2001", "", "bob", "x"} << true;
        QTest::newRow("no separators") << "garbage" << true << QStringList{"", "", "", "", ""} << false;
        QTest::newRow("sender missing") << "5<20011231235959<" << true
                                        << QStringList{"5", "20011231235959", "31.12.2001 23:59:59", "", ""} << false;
        QTest::newRow("id missing") << "<20011231235959<bob<x" << true
                                    << QStringList{"", "20011231235959", "31.12.2001 23:59:59", "bob", "x"} << false;
        QTest::newRow("nothing waiting") << "-" << true << QStringList{"", "", "", "", ""} << false;
        QTest::newRow("empty") << "" << false << QStringList{} << false;
        QTest::newRow("299 characters") << "1<20011231235959<a<" + QString(280, QLatin1Char('x')) << true
                                        << QStringList{"1", "20011231235959", "31.12.2001 23:59:59", "a",
                                                       QString(280, QLatin1Char('x'))}
                                        << true;
        QTest::newRow("300 characters") << "1<20011231235959<a<" + QString(281, QLatin1Char('x')) << false
                                        << QStringList{} << false;
    }
    void messageReply() {
        QFETCH(QString, reply);
        QFETCH(bool, evaluated);
        QFETCH(QStringList, fields);
        QFETCH(bool, complete);
        const std::optional<TMessageReply> message = SplitMessageReply(reply);
        QCOMPARE(message.has_value(), evaluated);
        if (!message) {
            return;
        }
        QCOMPARE((QStringList{message->Id, message->TimeStamp, message->FormattedTime, message->Sender, message->Text}),
                 fields);
        QCOMPARE(message->IsComplete(), complete);
        QCOMPARE(message->NoMessage, reply == QLatin1String("-"));
    }

    // What the retrieval still learns from a reply it cannot take as it is: the message, when the reply is one
    // beyond doubt, or else the id to step past it by.
    void unusualMessageReply_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("text"); // of the message read; "none" when no message is read
        QTest::addColumn<QString>("id");
        const QString longText(400, QLatin1Char('x'));
        QTest::newRow("long message") << "17<20011231235959<alice<" + longText << longText << "17";
        QTest::newRow("cut before the sender ends") << "17<20011231235959<ali"
                                                    << "none"
                                                    << "17";
        QTest::newRow("time stamp not a time") << "17<Internal error 500<alice<x"
                                               << "none"
                                               << "17";
        QTest::newRow("id not a number") << "Error 17<20011231235959<alice<x"
                                         << "none"
                                         << "";
        QTest::newRow("empty") << ""
                               << "none"
                               << "";
    }
    void unusualMessageReply() {
        QFETCH(QString, reply);
        QFETCH(QString, text);
        QFETCH(QString, id);
        const std::optional<TMessageReply> message = SplitLongMessageReply(reply);
        QCOMPARE(message ? message->Text : QStringLiteral("none"), text);
        QVERIFY(!message || message->IsComplete());
        QCOMPARE(MessageReplyId(reply), id);
    }

    void pageAddresses() {
        QCOMPARE(RoomPageUrl(QStringLiteral("kůň"), QStringLiteral("K3y"), QStringLiteral("4 2")),
                 QStringLiteral("http://" CVRLIK_SERVICE_HOST
                                "/cgi-bin/klabos/chat.fcgi?jmeno=k%F9%F2&heslo=K3y&ID_room=4+2"));
        QCOMPARE(
            AutoLoginUrl(QStringLiteral("me"), QStringLiteral("K")),
            QStringLiteral("http://" CVRLIK_SERVICE_HOST "/cgi-bin/klabos/index.fcgi?akce=vstup&jmeno=me&heslo=K"));
        QCOMPARE(AutoLoginUrl(QStringLiteral("me"), QString(300, QLatin1Char('k'))).size(), 255);
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
