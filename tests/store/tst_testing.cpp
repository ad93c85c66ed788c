// The test-run knobs: off unless the test run's environment says otherwise.
#include "store/clocktimer.h"
#include "store/datafolder.h"
#include "store/testing.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTest>
#include <memory>
#include <optional>
#include <vector>

Q_DECLARE_METATYPE(std::optional<QString>)

class TestTesting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        SetTesting({});
        QFile::remove(TestingRecordPath());
    }

    void loadsOnlyAValidDivisor_data() {
        QTest::addColumn<std::optional<QString>>("variable");
        QTest::addColumn<bool>("active");
        QTest::addColumn<int>("divisor");
        QTest::newRow("not set: a normal run") << std::optional<QString>{} << false << 1;
        QTest::newRow("twenty times faster") << std::optional<QString>{u"20"_qs} << true << 20;
        QTest::newRow("one: a test run at the normal pace") << std::optional<QString>{u"1"_qs} << true << 1;
        QTest::newRow("the largest") << std::optional<QString>{u"1000"_qs} << true << 1000;
        QTest::newRow("zero") << std::optional<QString>{u"0"_qs} << false << 1;
        QTest::newRow("negative") << std::optional<QString>{u"-5"_qs} << false << 1;
        QTest::newRow("above the largest") << std::optional<QString>{u"1001"_qs} << false << 1;
        QTest::newRow("not a number") << std::optional<QString>{u"20x"_qs} << false << 1;
        QTest::newRow("empty") << std::optional<QString>{QString()} << false << 1;
    }
    void loadsOnlyAValidDivisor() {
        QFETCH(std::optional<QString>, variable);
        QFETCH(bool, active);
        QFETCH(int, divisor);
        QProcessEnvironment environment;
        if (variable) {
            environment.insert(TimeDivisorVariable, *variable);
        }
        LoadTesting(environment);
        QCOMPARE(Testing().Active, active);
        QCOMPARE(Testing().TimeDivisor, divisor);
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

    // Deadlines on the program's clock: a timer fires when its time has come, never before, in the order of the
    // times.
    void clockTimersFireWhenDue_data() {
        QTest::addColumn<QList<qint64>>("armedAhead"); // one timer per entry; a negative one re-arms itself by as much
        QTest::addColumn<qint64>("step");
        QTest::addColumn<QList<int>>("fired"); // the timers' indexes, in the order they fired
        QTest::newRow("not a millisecond early") << QList<qint64>{8400} << qint64(8399) << QList<int>{};
        QTest::newRow("at its time") << QList<qint64>{8400} << qint64(8400) << QList<int>{0};
        QTest::newRow("in the order they are due")
            << QList<qint64>{900, 300, 600} << qint64(1000) << QList<int>{1, 2, 0};
        QTest::newRow("one re-armed by its own handler") << QList<qint64>{-200} << qint64(650) << QList<int>{0, 0, 0};
    }
    void clockTimersFireWhenDue() {
        QFETCH(QList<qint64>, armedAhead);
        QFETCH(qint64, step);
        QFETCH(QList<int>, fired);
        SetSteppedClock(true);
        std::vector<std::unique_ptr<TClockTimer>> timers;
        QList<int> order;
        for (qsizetype index = 0; index < armedAhead.size(); ++index) {
            auto& timer = timers.emplace_back(std::make_unique<TClockTimer>());
            const qint64 ahead = armedAhead.at(index);
            QObject::connect(timer.get(), &TClockTimer::timeout, timer.get(), [&order, &timer, index, ahead] {
                order << int(index);
                if (ahead < 0) {
                    timer->StartAt(timer->Due() - ahead);
                }
            });
            timer->StartIn(qAbs(ahead));
        }
        const qint64 before = ClockNow();
        StepClock(step);
        SetSteppedClock(false);
        QCOMPARE(order, fired);
        QVERIFY(ClockNow() >= before + step);
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
