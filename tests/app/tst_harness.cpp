// The whole-program harness's own accounting: what a stopped stand-in left recorded reaches the ledger request by
// request, and a record it cannot read is a failure of the run, never a dropped request.
#include "messageledger.h"
#include "simexchange.h"
#include "simprocess.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

class TestHarness : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loginAnsweredBeforeAStopIsCounted() {
        QTemporaryDir folder;
        TSimProcess sim(QStringLiteral(KLABOS_SIM_PROGRAM), 3, folder.filePath(QStringLiteral("world.json")));
        QVERIFY(sim.Start());
        const SimExchange login =
            SimExchange::Post(sim.Port(), "/cgi-bin/klabos/mix.fcgi", "akce=get&jmeno=demo&heslo=demo");
        QVERIFY(login.Body().startsWith("<>"));
        QVERIFY2(sim.Stop(), qPrintable(sim.Failure()));
        TMessageLedger ledger;
        ledger.Take(sim.TakeLeftRequests());
        QCOMPARE(ledger.Logins, 1);
        QCOMPARE(ledger.Dropped, 0);
        QCOMPARE(ledger.Malformed, QStringList());
    }

    void leftRecordMustHoldRequests_data() {
        QTest::addColumn<QByteArray>("file"); // empty: a folder stands where the file should be
        QTest::addColumn<bool>("readable");
        QTest::addColumn<int>("logins");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<int>("malformed");
        const QByteArray login = R"({"fields":[["akce","get"]],"status":200,"reply":"<>k<2>"})";
        const QByteArray dropped = R"({"fields":[["akce","lidi"]],"status":0,"note":"dropped: reset"})";
        QTest::newRow("a login and a dropped request") << "[" + login + "," + dropped + "]" << true << 1 << 1 << 0;
        QTest::newRow("the list nested in a list") << "[[" + login + "]]" << false << 0 << 0 << 1;
        QTest::newRow("a request without its status")
            << QByteArray(R"([{"fields":[["akce","get"]]}])") << true << 0 << 0 << 1;
        QTest::newRow("unreadable") << QByteArray() << false << 0 << 0 << 0;
    }
    void leftRecordMustHoldRequests() {
        QFETCH(QByteArray, file);
        QFETCH(bool, readable);
        QFETCH(int, logins);
        QFETCH(int, dropped);
        QFETCH(int, malformed);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("world.json.requests"));
        if (file.isEmpty()) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QFile written(path);
            QVERIFY(written.open(QIODevice::WriteOnly));
            written.write(file);
        }
        QJsonArray left;
        QString failure;
        QCOMPARE(ReadLeftRequests(path, left, failure), readable);
        QCOMPARE(failure.isEmpty(), readable);
        QCOMPARE(left.size(), readable ? QJsonDocument::fromJson(file).array().size() : 0);
        TMessageLedger ledger;
        ledger.Take(QJsonDocument::fromJson(file).array());
        QCOMPARE(ledger.Logins, logins);
        QCOMPARE(ledger.Dropped, dropped);
        QCOMPARE(ledger.Malformed.size(), malformed);
    }
};

QTEST_GUILESS_MAIN(TestHarness)
#include "tst_harness.moc"
