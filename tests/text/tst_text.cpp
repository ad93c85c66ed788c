#include "text/codepage.h"
#include "text/formencode.h"

#include <QTest>

class TestText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyByteRoundTrips() {
        QByteArray all;
        for (int byte = 0; byte < 256; ++byte) {
            all.append(char(byte));
        }
        const QString text = FromCp1250(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(ToCp1250(text), all);
    }

    void encode_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("czech letters") << QStringLiteral("Žlutý kůň") << QByteArray("\x8Elut\xFD k\xF9\xF2");
        QTest::newRow("euro sign") << QStringLiteral("€") << QByteArray("\x80");
        QTest::newRow("outside the code page") << QStringLiteral("a\u4E2Dz") << QByteArray("a?z");
        QTest::newRow("emoji is two units") << QStringLiteral("\U0001F600") << QByteArray("??");
    }
    void encode() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ToCp1250(text), bytes);
    }

    void formEncode_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("czech nick") << QStringLiteral("Žlutý kůň") << QByteArray("%8Elut%FD+k%F9%F2");
        QTest::newRow("safe punctuation") << QStringLiteral("!$'()*-.@_09") << QByteArray("!$'()*-.@_09");
        QTest::newRow("separators") << QStringLiteral("a&b=c+d%") << QByteArray("a%26b%3Dc%2Bd%25");
        QTest::newRow("line break and quote") << QStringLiteral("\r\n\"") << QByteArray("%0D%0A%22");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void formEncode() {
        QFETCH(QString, text);
        QFETCH(QByteArray, encoded);
        QCOMPARE(FormEncode(text), encoded);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
