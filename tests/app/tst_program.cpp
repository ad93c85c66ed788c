#include "app/singleinstance.h"
#include "store/settings.h"
#include "store/sysreg.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <limits>

// Runs the real program, as a desktop session would, each run with configuration and runtime folders of its own.
class TestProgram : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Home;

    QString ConfigFolder() const { return Home->filePath(u"config"_qs); }
    QString RuntimeFolder() const { return Home->filePath(u"runtime"_qs); }
    QString LockPath() const { return QDir(RuntimeFolder()).filePath(TSingleInstance::LockFileName()); }

    void Start(QProcess& program) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_qs, ConfigFolder());
        environment.insert(u"XDG_RUNTIME_DIR"_qs, RuntimeFolder());
        environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(Home->path());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(CVRLIK_BINARY), {});
        QVERIFY(program.waitForStarted());
    }

    // The process id the single-instance lock file names; 0 when there is no readable lock file.
    qint64 LockHolder() const {
        QFile lock(LockPath());
        return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
    }

    // Whether the process catches SIGTERM, SIGINT and SIGHUP, as it does once its signal watcher is installed.
    static bool CatchesTerminationSignals(qint64 pid) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly)) {
            return false;
        }
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("SigCgt:")) {
                const quint64 caught = line.mid(7).trimmed().toULongLong(nullptr, 16);
                const quint64 wanted = (1ull << (SIGTERM - 1)) | (1ull << (SIGINT - 1)) | (1ull << (SIGHUP - 1));
                return (caught & wanted) == wanted;
            }
        }
        return false;
    }

    // Up means the process holds the mark (the lock file names it, not a copy that ran before) and a termination
    // signal now closes its window the normal way. Both are signs only this process can give; a lock file or a
    // store left by an earlier copy is none.
    bool IsUp(const QProcess& program) const {
        const qint64 pid = program.processId();
        return program.state() == QProcess::Running && LockHolder() == pid && CatchesTerminationSignals(pid);
    }

    bool WaitUntilRunning(QProcess& program) {
        return QTest::qWaitFor([&] { return program.state() != QProcess::Running || IsUp(program); }, StartTimeout) &&
               IsUp(program);
    }

    // A start or an end under AddressSanitizer on a busy machine may take long; these are no measure of speed.
    static constexpr int StartTimeout = 120000;
    static constexpr int EndTimeout = 120000;

    static constexpr qint32 Missing = std::numeric_limits<qint32>::min();

    // The stored integer, or Missing.
    qint32 StoredInteger(const QString& name) {
        TSysReg store(ConfigFolder() + u"/Velmor/Cvrlik"_qs);
        store.OpenKey(ProductKey, false);
        qint32 value = Missing;
        try {
            value = store.ReadInteger(name);
        } catch (const ESysRegError&) {
        }
        store.CloseKey();
        return value;
    }

private Q_SLOTS:
    void init() {
        Home = std::make_unique<QTemporaryDir>();
        QVERIFY(Home->isValid());
        QVERIFY(QDir(Home->path()).mkpath(u"config"_qs));
        QVERIFY(QDir(Home->path()).mkpath(u"runtime"_qs));
        QFile::setPermissions(RuntimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void terminationSignalsCloseTheWindowTheNormalWay_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM at logout") << SIGTERM;
        QTest::newRow("SIGINT from the terminal") << SIGINT;
        QTest::newRow("SIGHUP when the terminal goes") << SIGHUP;
    }
    void terminationSignalsCloseTheWindowTheNormalWay() {
        QFETCH(int, signalNumber);
        QProcess program;
        Start(program);
        QVERIFY(WaitUntilRunning(program));
        ::kill(static_cast<pid_t>(program.processId()), signalNumber);
        QVERIFY(program.waitForFinished(EndTimeout));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // The mark is gone and the geometry stored: the window's outer size, its design size and the frame.
        QVERIFY(!QFile::exists(LockPath()));
        const qint32 width = StoredInteger(u"WindowWidth"_qs);
        const qint32 height = StoredInteger(u"WindowHeight"_qs);
        QVERIFY2(width >= 188 && width < 188 + 50, qPrintable(QString::number(width)));
        QVERIFY2(height >= 387 && height < 387 + 80, qPrintable(QString::number(height)));
        QVERIFY(StoredInteger(u"WindowLeft"_qs) != Missing);
        QVERIFY(StoredInteger(u"WindowTop"_qs) != Missing);
    }

    void secondCopyEndsAtOnceAndLeavesTheFirstAlone() {
        QProcess first;
        Start(first);
        QVERIFY(WaitUntilRunning(first));
        QProcess second;
        Start(second);
        QVERIFY(second.waitForFinished(EndTimeout));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(QFile::exists(LockPath()));
        first.terminate();
        QVERIFY(first.waitForFinished(EndTimeout));
        QCOMPARE(first.exitCode(), 0);
    }

    void crashedCopyDoesNotBlockTheNext() {
        QProcess crashed;
        Start(crashed);
        QVERIFY(WaitUntilRunning(crashed));
        crashed.kill();
        QVERIFY(crashed.waitForFinished(EndTimeout));
        QVERIFY(QFile::exists(LockPath()));

        QProcess next;
        Start(next);
        QVERIFY(WaitUntilRunning(next));
        next.terminate();
        QVERIFY(next.waitForFinished(EndTimeout));
        QCOMPARE(next.exitCode(), 0);
    }

    void storedGeometryPlacesTheWindow() {
        {
            QVERIFY(QDir().mkpath(ConfigFolder() + u"/Velmor/Cvrlik"_qs));
            TSysReg store(ConfigFolder() + u"/Velmor/Cvrlik"_qs);
            store.OpenKey(ProductKey, true);
            store.WriteInteger(u"WindowLeft"_qs, 12);
            store.WriteInteger(u"WindowTop"_qs, 34);
            store.WriteInteger(u"WindowWidth"_qs, 270);
            store.WriteInteger(u"WindowHeight"_qs, 300);
            store.CloseKey();
        }
        QProcess program;
        Start(program);
        QVERIFY(WaitUntilRunning(program));
        program.terminate();
        QVERIFY(program.waitForFinished(EndTimeout));
        QCOMPARE(StoredInteger(u"WindowLeft"_qs), 12);
        QCOMPARE(StoredInteger(u"WindowTop"_qs), 34);
        QCOMPARE(StoredInteger(u"WindowWidth"_qs), 270);
        QCOMPARE(StoredInteger(u"WindowHeight"_qs), 300);
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
