#include "store/encrypt.h"

#include <QTest>

class TestEncrypt : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scramble_data() {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("abc") << QByteArray("abc") << QByteArray("\x63\x65\x67\x98");
        QTest::newRow("nine a") << QByteArray("aaaaaaaaa") << QByteArray("cdefghabc\x9C");
        QTest::newRow("wraps past 255") << QByteArray("\xFF") << QByteArray("\x01\xFE");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void scramble() {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, stored);
        QCOMPARE(ScrambleText(plain), stored);
        QCOMPARE(UnscrambleText(stored), plain);
    }

    void unscrambleRejects_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("one character") << QByteArray("a");
        QTest::newRow("changed check byte") << QByteArray("\x63\x65\x67\x99");
        QTest::newRow("changed last character") << QByteArray("\x63\x65\x68\x98");
    }
    void unscrambleRejects() {
        QFETCH(QByteArray, stored);
        QVERIFY(UnscrambleText(stored).isEmpty());
    }

    void scrambledTextSurvivesTheStoredForm() {
        // The store keeps the scrambled bytes as Windows-1250 text; every byte value must come back.
        const QString password = QStringLiteral("heslo ř \x7F\u02C7");
        QCOMPARE(UnscrambleText(ScrambleText(password)), password);
    }
};

QTEST_GUILESS_MAIN(TestEncrypt)
#include "tst_encrypt.moc"
