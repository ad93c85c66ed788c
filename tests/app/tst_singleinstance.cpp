#include "app/singleinstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSingleInstance : public QObject {
    Q_OBJECT

    QTemporaryDir Folder;

private Q_SLOTS:
    void lockFileIsNamedAfterTheMark() {
        QCOMPARE(TSingleInstance::LockFileName(), u"Cvrlik-Klabos-client-by-Velmor.lock"_qs);
    }

    void secondCopyIsRefusedUntilTheFirstEnds() {
        TSingleInstance first(Folder.path());
        QVERIFY(first.TryAcquire());
        QVERIFY(QFile::exists(first.LockFilePath()));
        {
            TSingleInstance second(Folder.path());
            QVERIFY(!second.TryAcquire());
        }
        // The refused copy leaves the first one's mark alone.
        QVERIFY(QFile::exists(first.LockFilePath()));
        first.Release();
        QVERIFY(!QFile::exists(first.LockFilePath()));
        TSingleInstance third(Folder.path());
        QVERIFY(third.TryAcquire());
    }

    void staleLockIsTakenOver_data() {
        QTest::addColumn<bool>("holderRuns");
        QTest::newRow("left by a copy that crashed") << false;
        QTest::newRow("its number now belongs to another program") << true;
    }
    void staleLockIsTakenOver() {
        QFETCH(bool, holderRuns);
        // The recorded process has either ended, or is a running process of another program: no copy of ours.
        QProcess holder;
        holder.start(u"sleep"_qs, {u"30"_qs});
        QVERIFY(holder.waitForStarted());
        const qint64 pid = holder.processId();
        if (!holderRuns) {
            holder.kill();
            QVERIFY(holder.waitForFinished());
        }
        TSingleInstance probe(Folder.path());
        QFile lock(probe.LockFilePath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(pid) + "\n" + QCoreApplication::applicationName().toUtf8() + "\n\n");
        lock.close();
        QVERIFY(probe.TryAcquire());
        probe.Release();
        holder.kill();
        holder.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
