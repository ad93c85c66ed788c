#pragma once

#include <QHash>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What the program is given in its store before a run of the whole program.
struct TRunSettings {
    QString LoginName = QStringLiteral("demo");
    QString LoginPassword = QStringLiteral("demo");
    quint16 ProxyPort = 0; // the stand-in, reached as the HTTP proxy on 127.0.0.1
    qint32 SessionRefresh = 20;
    bool ReportNetworkErrors = false;
    bool AlwaysReconnect = true;
    QStringList Watched;
    QStringList Announced;  // of the watched, those announced on arrival
    qint32 TimeDivisor = 0; // 0: no test run (the program's environment says nothing of it)
};

// One line of the program's test record (store/testing.h).
struct TRecordLine {
    qint64 Ms = 0;
    qint64 CpuUs = 0;
    QString Event;
    QStringList Details;
};

// Counters of the program's own process, read from /proc: they hold on a loaded machine, where wall time does not.
struct TProcessFigures {
    qint64 ResidentKb = 0;
    qint64 CpuNs = 0; // time on a CPU, every thread together
    // Every thread together. A voluntary switch is a sleep, so each is followed by a wake-up; an involuntary one is
    // a preemption, which a loaded machine causes and the program does not.
    qint64 Wakeups = 0;
    qint64 Preemptions = 0;
    int Threads = 0;
};

// The real program in a home of its own (configuration, data and runtime folders), so that it never touches the
// user's store and its single-instance mark is its own.
class TProgramRun {
public:
    explicit TProgramRun(QString program);
    ~TProgramRun();
    TProgramRun(const TProgramRun&) = delete;
    TProgramRun& operator=(const TProgramRun&) = delete;

    bool IsValid() const { return Home.isValid(); }
    // What XDG_CONFIG_HOME is for the program (the store tool, given it, works on the same store).
    QString ConfigHome() const;
    QString StoreFolder() const;
    QString DataFolder() const;
    QString RecordPath() const;

    // Writes the settings and the watched users into the store; the time divisor goes to the environment Start
    // gives the program.
    void Prepare(const TRunSettings& settings);
    // Starts on the platform (offscreen, or xcb with DISPLAY given); false when it does not start.
    bool Start(const QString& platform = QStringLiteral("offscreen"), const QString& display = QString());
    // Milliseconds since the epoch just before the process was started.
    qint64 StartedAt() const { return StartMs; }
    qint64 Pid() const { return Process.processId(); }
    bool Running() const { return Process.state() == QProcess::Running; }
    void Signal(int number);
    // Waits for the end; true when it ended within the time.
    bool WaitForEnd(int ms);
    QProcess::ExitStatus ExitStatus() const { return Process.exitStatus(); }
    int ExitCode() const { return Process.exitCode(); }

    TProcessFigures Figures() const;
    QList<TRecordLine> Record() const;

private:
    QString Program;
    QTemporaryDir Home;
    QProcess Process;
    qint64 StartMs = 0;
    qint32 TimeDivisor = 0;
};

// The figures of a process by its id: zeros for one that is gone. A thread that has ended is no longer counted.
TProcessFigures ProcessFiguresOf(qint64 pid);
// The same per thread, by thread id (ResidentKb and Threads left at zero).
QHash<qint64, TProcessFigures> ThreadFiguresOf(qint64 pid);
