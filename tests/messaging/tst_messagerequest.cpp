// The request body of the send dialogs and the broadcast rules, without a window.
#include "formfields.h"
#include "messaging/broadcastrules.h"
#include "messaging/messagerequest.h"

#include <QRegularExpression>
#include <QTest>

class TestMessageRequest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bodyIsCutBetweenWholeCharacters_data() {
        QTest::addColumn<QString>("loginName");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("sentText");
        QTest::addColumn<int>("textSent"); // how much of the message the body carries

        const QString czech(120, QChar(u'ž'));
        // The fields ahead of the text take 55 bytes with "demo": 200 bytes are left, room for 66 encoded letters
        // and two bytes, which a plain cut would fill with the start of one more escape.
        QTest::newRow("a plain cut would end after the percent sign and a digit")
            << "demo" << czech << czech.left(66) << 66;
        QTest::newRow("a plain cut would end after the percent sign") << "demo1" << czech << czech.left(66) << 66;
        QTest::newRow("the last escape ends at the limit") << "demo12" << czech << czech.left(66) << 66;
        const QString shortMessage = QStringLiteral("Ahoj, jak se máš? 100% dobře");
        QTest::newRow("a short message goes whole")
            << "demo" << shortMessage << shortMessage << int(shortMessage.size());
        QTest::newRow("a character outside the code page goes out as a question mark")
            << "demo" << QStringLiteral("Ω a 😀!") << QStringLiteral("? a ?!") << 7;
        QTest::newRow("fields longer than the limit leave no room for the text")
            << QString(300, QLatin1Char('x')) << QStringLiteral("Ahoj") << QString() << 0;
    }
    void bodyIsCutBetweenWholeCharacters() {
        QFETCH(QString, loginName);
        QFETCH(QString, message);
        QFETCH(QString, sentText);
        QFETCH(int, textSent);
        const TMessageBody body = MessageRequestBody(ChatMessageAction(), loginName, QStringLiteral("K123456789"),
                                                     QStringLiteral("alice"), message);
        QVERIFY(body.Body.size() <= MessageBodyLimit);
        QVERIFY2(!QRegularExpression(QStringLiteral("%[0-9A-F]?$")).match(QString::fromLatin1(body.Body)).hasMatch(),
                 body.Body.right(6).constData());
        const KlabosSim::FormFields fields = KlabosSim::FormFields::Parse(body.Body);
        QCOMPARE(fields.Decoded("text").value_or(QString()), sentText);
        QCOMPARE(body.TextSent, textSent);
    }

    void bodyCarriesTheFieldsInOrder() {
        const TMessageBody body =
            MessageRequestBody(ChatMessageAction(), QStringLiteral("Ferda Žlutý"), QStringLiteral("K1"),
                               QStringLiteral("Bára"), QStringLiteral("Dobrý den!"));
        QCOMPARE(body.Body, QByteArray("akce=vzkaz&jmeno=Ferda+%8Elut%FD&heslo=K1&komu=B\xE1"
                                       "ra&text=Dobr%FD+den!"));
        QCOMPARE(body.TextSent, 10);
    }

    void servedBeforeLooksForTheNickBesideADelivery_data() {
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("nick");
        QTest::addColumn<bool>("served");
        const QStringList log{"1.2.24 as KORMORAN.",     "Text: ahoj",           "", "[10:00:01] alice ...OK",
                              "[10:00:02] Bob ...Error", "[10:00:03] čert ...OK"};
        QTest::newRow("a delivered nick") << log << "alice" << true;
        QTest::newRow("letter case of a to z does not matter") << log << "ALICE" << true;
        QTest::newRow("a nick whose send failed") << log << "Bob" << false;
        QTest::newRow("Czech letters keep their case") << log << "Čert" << false;
    }
    void servedBeforeLooksForTheNickBesideADelivery() {
        QFETCH(QStringList, log);
        QFETCH(QString, nick);
        QFETCH(bool, served);
        QCOMPARE(ServedBefore(log, nick), served);
    }
};

QTEST_GUILESS_MAIN(TestMessageRequest)
#include "tst_messagerequest.moc"
