// The test-run knobs in the store: off unless the hidden key says otherwise, and never written by reading them.
#include "store/datafolder.h"
#include "store/sysreg.h"
#include "store/testing.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <variant>

using TDivisorValue = std::variant<std::monostate, qint32, QString>;
Q_DECLARE_METATYPE(TDivisorValue)

class TestTesting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        SetTesting({});
        QFile::remove(TestingRecordPath());
    }

    void loadsOnlyAValidDivisor_data() {
        QTest::addColumn<TDivisorValue>("stored");
        QTest::addColumn<bool>("active");
        QTest::addColumn<int>("divisor");
        QTest::newRow("no key: a normal run") << TDivisorValue{} << false << 1;
        QTest::newRow("twenty times faster") << TDivisorValue{qint32(20)} << true << 20;
        QTest::newRow("one: a test run at the normal pace") << TDivisorValue{qint32(1)} << true << 1;
        QTest::newRow("the largest") << TDivisorValue{qint32(1000)} << true << 1000;
        QTest::newRow("zero") << TDivisorValue{qint32(0)} << false << 1;
        QTest::newRow("negative") << TDivisorValue{qint32(-5)} << false << 1;
        QTest::newRow("above the largest") << TDivisorValue{qint32(1001)} << false << 1;
        QTest::newRow("text, not a number") << TDivisorValue{u"20"_qs} << false << 1;
    }
    void loadsOnlyAValidDivisor() {
        QFETCH(TDivisorValue, stored);
        QFETCH(bool, active);
        QFETCH(int, divisor);
        QTemporaryDir folder;
        TSysReg store(folder.path());
        if (!std::holds_alternative<std::monostate>(stored)) {
            store.OpenKey(TestingKey, true);
            if (const auto* number = std::get_if<qint32>(&stored)) {
                store.WriteInteger(u"TimeDivisor"_qs, *number);
            } else {
                store.WriteString(u"TimeDivisor"_qs, std::get<QString>(stored));
            }
            store.CloseKey();
        }
        LoadTesting(store);
        QCOMPARE(Testing().Active, active);
        QCOMPARE(Testing().TimeDivisor, divisor);
        // Reading never leaves the key behind in a user's store.
        const bool keyExists = store.OpenKey(TestingKey, false);
        store.CloseKey();
        QCOMPARE(keyExists, !std::holds_alternative<std::monostate>(stored));
    }

    void squeezesIntervals_data() {
        QTest::addColumn<int>("divisor");
        QTest::addColumn<int>("ms");
        QTest::addColumn<int>("squeezed");
        QTest::newRow("normal pace") << 1 << 200 << 200;
        QTest::newRow("control timer at 20x") << 20 << 200 << 10;
        QTest::newRow("idle timeout at 20x") << 20 << 60000 << 3000;
        QTest::newRow("never below a millisecond") << 1000 << 200 << 1;
        QTest::newRow("no limit stays no limit") << 20 << 0 << 0;
    }
    void squeezesIntervals() {
        QFETCH(int, divisor);
        QFETCH(int, ms);
        QFETCH(int, squeezed);
        SetTesting({true, divisor});
        QCOMPARE(Squeezed(ms), squeezed);
    }

    void recordsOneLinePerEventOnlyInATestRun_data() {
        QTest::addColumn<bool>("active");
        QTest::newRow("a test run records") << true;
        QTest::newRow("a normal run writes nothing") << false;
    }
    void recordsOneLinePerEventOnlyInATestRun() {
        QFETCH(bool, active);
        SetTesting({active, 1});
        RecordTestingEvent(u"box-open"_qs, {u"error"_qs, u"Chyba\tpřipojování"_qs, u"první\r\ndruhá \\ třetí"_qs});
        RecordTestingEvent(u"window-painted"_qs);
        QFile record(TestingRecordPath());
        QCOMPARE(record.exists(), active);
        if (!active) {
            return;
        }
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(record.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QStringList fields = lines.first().split(u'\t');
        QCOMPARE(fields.size(), 6);
        QVERIFY(fields.at(0).toLongLong() > 0);  // wall time
        QVERIFY(fields.at(1).toLongLong() >= 0); // the process's CPU time
        QCOMPARE(fields.mid(2), (QStringList{u"box-open"_qs, u"error"_qs, u"Chyba\\tpřipojování"_qs,
                                             u"první\\r\\ndruhá \\\\ třetí"_qs}));
        QCOMPARE(lines.last().split(u'\t').mid(2), QStringList{u"window-painted"_qs});
    }
};

QTEST_GUILESS_MAIN(TestTesting)
#include "tst_testing.moc"
