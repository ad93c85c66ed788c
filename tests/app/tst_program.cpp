#include "app/singleinstance.h"
#include "app/startoptions.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "store/testing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <limits>
#include <sys/resource.h>

// Runs the real program, as a desktop session would, each run with configuration and runtime folders of its own.
class TestProgram : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Home;

    QString ConfigFolder() const { return Home->filePath(u"config"_qs); }
    QString DataFolder() const { return Home->filePath(u"data"_qs); }
    QString RuntimeFolder() const { return Home->filePath(u"runtime"_qs); }
    QString LockPath() const { return QDir(RuntimeFolder()).filePath(TSingleInstance::LockFileName()); }
    QString RecordPath() const { return DataFolder() + u"/Velmor/Cvrlik/testing.log"_qs; }

    // `variables` go into the program's environment; `inChild` runs in the child before the program starts (to
    // set what a shell or nohup would have set). The program's errors go to the test's, or stay to be read.
    void Start(QProcess& program, const QStringList& variables = {}, const std::function<void()>& inChild = {},
               QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_qs, ConfigFolder());
        environment.insert(u"XDG_DATA_HOME"_qs, DataFolder());
        environment.insert(u"XDG_RUNTIME_DIR"_qs, RuntimeFolder());
        environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
        environment.remove(TimeDivisorVariable);
        for (const QString& variable : variables) {
            environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        }
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(Home->path());
        program.setProcessChannelMode(channels);
        if (inChild) {
            program.setChildProcessModifier(inChild);
        }
        program.start(QStringLiteral(CVRLIK_BINARY), {});
        QVERIFY(program.waitForStarted());
    }

    // The process id the single-instance lock file names; 0 when there is no readable lock file.
    qint64 LockHolder() const {
        QFile lock(LockPath());
        return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
    }

    static constexpr quint64 Bit(int signalNumber) { return 1ull << (signalNumber - 1); }

    // The process's signal mask of that kind from /proc ("SigCgt", "SigIgn"); 0 when it cannot be read.
    static quint64 SignalMask(qint64 pid, const QByteArray& kind) {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly)) {
            return 0;
        }
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith(kind + ':')) {
                return line.mid(kind.size() + 1).trimmed().toULongLong(nullptr, 16);
            }
        }
        return 0;
    }

    // Whether the process catches SIGTERM, as it does once its signal watcher is installed (with SIGINT and
    // SIGHUP, unless they were ignored when it started).
    static bool CatchesTerminationSignals(qint64 pid) { return (SignalMask(pid, "SigCgt") & Bit(SIGTERM)) != 0; }

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

    // nohup ignores SIGHUP, a shell ignores SIGINT for a background job: the program leaves them ignored and still
    // ends the normal way on the others.
    void signalIgnoredAtStartStaysIgnored_data() {
        QTest::addColumn<int>("ignored");
        QTest::addColumn<int>("caught");
        QTest::newRow("SIGHUP under nohup") << SIGHUP << SIGINT;
        QTest::newRow("SIGINT in a background job") << SIGINT << SIGHUP;
    }
    void signalIgnoredAtStartStaysIgnored() {
        QFETCH(int, ignored);
        QFETCH(int, caught);
        QProcess program;
        Start(program, {}, [ignored] { ::signal(ignored, SIG_IGN); });
        QVERIFY(WaitUntilRunning(program));
        QCOMPARE(SignalMask(program.processId(), "SigIgn") & Bit(ignored), Bit(ignored));
        QCOMPARE(SignalMask(program.processId(), "SigCgt") & (Bit(ignored) | Bit(caught)), Bit(caught));
        ::kill(static_cast<pid_t>(program.processId()), caught);
        QVERIFY(program.waitForFinished(EndTimeout));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    // A runtime folder that takes no lock file (full: the lock's content cannot be written) is not another copy
    // running: the user is told why the program does not start, and the start fails.
    void lockThatCannotBeMadeIsToldAndFailsTheStart() {
        QProcess program;
        program.setStandardOutputFile(QProcess::nullDevice());
        const auto fullFolder = [] {
            const rlimit noFileGrowth{0, 0};
            ::setrlimit(RLIMIT_FSIZE, &noFileGrowth);
            ::signal(SIGXFSZ, SIG_IGN);
        };
        Start(program, {}, fullFolder, QProcess::SeparateChannels);
        QVERIFY(program.waitForFinished(EndTimeout));
        const QString told = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        QVERIFY2(told.contains(u"nelze spustit"_qs) && told.contains(TSingleInstance::LockFileName()),
                 qPrintable(told));
        QVERIFY(!QFile::exists(LockPath()));
    }

    // The clock knob of a test run comes from its environment; one found in the user's store (an imported settings
    // file, say) leaves the run a normal one. A test run's record tells its pace from the start on.
    void onlyATestRunsEnvironmentSqueezesTheClocks_data() {
        QTest::addColumn<bool>("fromEnvironment");
        QTest::newRow("a divisor in the user's store: a normal run") << false;
        QTest::newRow("a divisor in the environment: a test run") << true;
    }
    void onlyATestRunsEnvironmentSqueezesTheClocks() {
        QFETCH(bool, fromEnvironment);
        if (!fromEnvironment) {
            QVERIFY(QDir().mkpath(ConfigFolder() + u"/Velmor/Cvrlik"_qs));
            TSysReg store(ConfigFolder() + u"/Velmor/Cvrlik"_qs);
            QVERIFY(store.OpenKey(ProductKey + u"\\Testing"_qs, true));
            store.WriteInteger(u"TimeDivisor"_qs, 20);
            store.CloseKey();
        }
        QProcess program;
        Start(program, fromEnvironment ? QStringList{TimeDivisorVariable + u"=20"_qs} : QStringList{});
        QVERIFY(WaitUntilRunning(program));
        program.terminate();
        QVERIFY(program.waitForFinished(EndTimeout));
        QCOMPARE(program.exitCode(), 0);
        // The knob is read before the event loop runs, and the run ended through it.
        QFile record(RecordPath());
        QCOMPARE(record.open(QIODevice::ReadOnly), fromEnvironment);
        if (fromEnvironment) {
            QVERIFY(record.readLine().trimmed().endsWith("\ttest-run\t20"));
        }
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

    void commandLineIsAnsweredWithoutADisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("errorOutput");
        QTest::newRow("version") << QStringList{"--version"} << 0 << "cvrlik 1.81\n"
                                 << "";
        QTest::newRow("help, also after a toolkit option")
            << QStringList{"-style", "fusion", "-h"} << 0 << "Použití: cvrlik [--autostart]"
            << "";
        QTest::newRow("an unknown option") << QStringList{"--verbose"} << 2 << ""
                                           << "cvrlik: neznámý přepínač „--verbose“";
        QTest::newRow("a stray argument") << QStringList{"zpravy.txt"} << 2 << ""
                                          << "cvrlik: nečekaný argument „zpravy.txt“";
    }
    void commandLineIsAnsweredWithoutADisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, errorOutput);
        // A platform that needs a display, and none: a program that made its windows first would end on its own
        // error instead of answering.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"DISPLAY"_qs);
        environment.remove(u"WAYLAND_DISPLAY"_qs);
        environment.insert(u"QT_QPA_PLATFORM"_qs, u"xcb"_qs);
        environment.insert(u"XDG_CONFIG_HOME"_qs, ConfigFolder());
        environment.insert(u"XDG_RUNTIME_DIR"_qs, RuntimeFolder());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(CVRLIK_BINARY), arguments);
        QVERIFY(program.waitForFinished(EndTimeout));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        const QString printed = QString::fromUtf8(program.readAllStandardOutput());
        const QString complained = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(output.isEmpty() ? printed.isEmpty() : printed.startsWith(output), qPrintable(printed));
        QVERIFY2(errorOutput.isEmpty() ? complained.isEmpty() : complained.startsWith(errorOutput),
                 qPrintable(complained));
        QVERIFY(!QFile::exists(LockPath())); // answered before anything was started
    }

    void commandLineLeavesTheToolkitsOptionsToIt_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("atLogin");
        QTest::newRow("the login entry") << QStringList{"--autostart"} << int(TStartOptions::TAction::Run) << true;
        QTest::newRow("restarted by the session manager")
            << QStringList{"-session", "10d3b4c5", "--autostart"} << int(TStartOptions::TAction::Run) << true;
        QTest::newRow("a window title that looks like an option")
            << QStringList{"-qwindowtitle", "--help"} << int(TStartOptions::TAction::Run) << false;
        QTest::newRow("a value after an equals sign, two dashes")
            << QStringList{"--platform=wayland", "--version"} << int(TStartOptions::TAction::Version) << false;
        QTest::newRow("a toolkit option without its value")
            << QStringList{"-platform"} << int(TStartOptions::TAction::Misuse) << false;
    }
    void commandLineLeavesTheToolkitsOptionsToIt() {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(bool, atLogin);
        const TStartOptions options = ReadStartOptions(arguments);
        QCOMPARE(int(options.Action), action);
        QCOMPARE(options.StartedAtLogin, atLogin);
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
