#include "figuresrun.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QThread>
#include <algorithm>
#include <csignal>

namespace {

constexpr int StartTimeoutMs = 120000;

QString Megabytes(qint64 kb) {
    return QString::number(double(kb) / 1024.0, 'f', 1) + QStringLiteral(" MB");
}

QString Milliseconds(double ms) {
    return QString::number(ms, 'f', ms < 10 ? 1 : 0) + QStringLiteral(" ms");
}

const TRecordLine* FirstOf(const QList<TRecordLine>& record, const QString& event) {
    const auto found =
        std::find_if(record.cbegin(), record.cend(), [&event](const TRecordLine& line) { return line.Event == event; });
    return found == record.cend() ? nullptr : &*found;
}

} // namespace

TFiguresRun::TFiguresRun(TFiguresOptions options, QTextStream& out)
    : Options(std::move(options))
    , Out(out) {}

void TFiguresRun::Print(const QString& name, const QString& value, const QString& target) {
    Out << qSetFieldWidth(44) << Qt::left << name << qSetFieldWidth(0) << value;
    if (!target.isEmpty()) {
        Out << "   (target " << target << ")";
    }
    Out << Qt::endl;
}

bool TFiguresRun::StartRun(TProgramRun& program, TSimProcess& sim, int timeDivisor) {
    return StartProgram(program, sim, timeDivisor) && WaitForList(program, StartTimeoutMs);
}

bool TFiguresRun::StartProgram(TProgramRun& program, TSimProcess& sim, int timeDivisor, int replyDelayMs) {
    if (!sim.Start()) {
        Out << "klabos-sim does not start" << Qt::endl;
        return false;
    }
    const QJsonArray crowd =
        sim.Control(QStringLiteral("crowd"), ControlQuery({{u"count"_qs, QString::number(Options.Watched + 50)}}))
            .value(QStringLiteral("nicks"))
            .toArray();
    TRunSettings settings;
    settings.ProxyPort = sim.Port();
    settings.SessionRefresh = 120;
    settings.TimeDivisor = timeDivisor;
    for (const QJsonValue& nick : crowd) {
        if (settings.Watched.size() < Options.Watched) {
            settings.Watched.append(nick.toString());
        }
    }
    program.Prepare(settings);
    sim.Control(QStringLiteral("requests/clear"));
    sim.Control(QStringLiteral("delay"), ControlQuery({{u"ms"_qs, QString::number(replyDelayMs)}}));
    if (!program.Start(Options.Platform, Options.Display)) {
        Out << "the program does not start" << Qt::endl;
        return false;
    }
    return true;
}

bool TFiguresRun::WaitForList(const TProgramRun& program, int timeoutMs) const {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs && program.Running()) {
        const QList<TRecordLine> record = program.Record();
        const TRecordLine* reply = FirstOf(record, QStringLiteral("people-reply"));
        if (reply && std::any_of(record.cbegin(), record.cend(), [reply](const TRecordLine& line) {
                return line.Event == u"list-painted" && line.Ms >= reply->Ms;
            })) {
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

void TFiguresRun::StartFigures(const TProgramRun& program, TSimProcess& sim) {
    const QList<TRecordLine> record = program.Record();
    if (const TRecordLine* painted = FirstOf(record, QStringLiteral("window-painted"))) {
        Print(QStringLiteral("start to first painted window"), Milliseconds(double(painted->Ms - program.StartedAt())),
              QStringLiteral("under 150 ms"));
        Print(QStringLiteral("  CPU used by then"), Milliseconds(double(painted->CpuUs) / 1000.0));
    }
    qint64 firstPeople = 0;
    for (const QJsonValue& value :
         sim.Control(QStringLiteral("requests")).value(QStringLiteral("requests")).toArray()) {
        const QJsonObject request = value.toObject();
        for (const QJsonValue& field : request.value(QStringLiteral("fields")).toArray()) {
            if (firstPeople == 0 && field.toArray().at(0).toString() == u"akce" &&
                field.toArray().at(1).toString() == u"lidi") {
                firstPeople = request.value(QStringLiteral("receivedAt")).toInteger();
            }
        }
    }
    if (firstPeople > 0) {
        Print(QStringLiteral("start to first people request"), Milliseconds(double(firstPeople - program.StartedAt())));
    }
    QThread::msleep(2000);
    Print(QStringLiteral("resident memory after start"), Megabytes(program.Figures().ResidentKb),
          QStringLiteral("under 35 MB"));
    Print(QStringLiteral("threads"), QString::number(program.Figures().Threads));
}

void TFiguresRun::IdleFigures(const TProgramRun& program) {
    // Settled first: the start's own work is not idleness.
    QThread::msleep(5000);
    // Each thread's counters are read every second and what they grew by is added up, so that a thread ending
    // meanwhile takes along at most a second of its own (summing the counters of the threads alive at the end would
    // drop all of it).
    QHash<qint64, TProcessFigures> last = ThreadFiguresOf(program.Pid());
    TProcessFigures grown;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(Options.IdleSeconds) * 1000 && program.Running()) {
        QThread::msleep(1000);
        const QHash<qint64, TProcessFigures> now = ThreadFiguresOf(program.Pid());
        for (auto thread = now.cbegin(); thread != now.cend(); ++thread) {
            const TProcessFigures before = last.value(thread.key()); // a new thread: from zero
            grown.CpuNs += thread->CpuNs - before.CpuNs;
            grown.Wakeups += thread->Wakeups - before.Wakeups;
            grown.Preemptions += thread->Preemptions - before.Preemptions;
        }
        last = now;
    }
    const double seconds = double(clock.elapsed()) / 1000.0;
    const double cpuMs = double(grown.CpuNs) / 1e6;
    Print(QStringLiteral("idle CPU per minute"), Milliseconds(cpuMs / seconds * 60.0),
          QStringLiteral("under 18 ms, 0.03% of a core"));
    Print(QStringLiteral("idle CPU, share of a core"), QString::number(cpuMs / seconds / 10.0, 'f', 3) + u'%');
    Print(QStringLiteral("wake-ups per second"), QString::number(double(grown.Wakeups) / seconds, 'f', 2),
          QStringLiteral("at most 0.5"));
    Print(QStringLiteral("  preemptions per second (machine load)"),
          QString::number(double(grown.Preemptions) / seconds, 'f', 2));
}

void TFiguresRun::Latencies(const TProgramRun& program) {
    const QList<TRecordLine> record = program.Record();
    qint64 replyAt = -1;
    for (const TRecordLine& line : record) {
        if (line.Event == u"people-reply") {
            replyAt = line.Ms;
        } else if (line.Event == u"list-painted" && replyAt >= 0) {
            ReplyToPaintMs.append(double(line.Ms - replyAt));
            replyAt = -1;
        }
    }
}

void TFiguresRun::SqueezedHour() {
    TProgramRun program(Options.Program);
    TSimProcess sim(Options.SimProgram, 2, QString());
    if (!StartRun(program, sim, Options.Squeeze)) {
        Failed = true;
        return;
    }
    // A lively hour: a simulated minute per squeezed minute, and a message now and then.
    sim.Control(QStringLiteral("clock"), ControlQuery({{u"ms"_qs, QString::number(60000 / Options.Squeeze)}}));
    sim.Control(QStringLiteral("mail"), ControlQuery({{u"ms"_qs, QString::number(300000 / Options.Squeeze)}}));
    QThread::msleep(2000);
    const qint64 startKb = program.Figures().ResidentKb;
    const TProcessFigures before = program.Figures();
    QThread::msleep(quint64(Options.HourSeconds) * 1000);
    const TProcessFigures after = program.Figures();
    Print(QStringLiteral("resident memory after start (squeezed run)"), Megabytes(startKb));
    Print(QStringLiteral("resident memory after a squeezed hour"), Megabytes(after.ResidentKb),
          QStringLiteral("under 35 MB"));
    Print(QStringLiteral("  (%1 min of use in %2 s, CPU %3 s)")
              .arg(Options.HourSeconds * Options.Squeeze / 60)
              .arg(Options.HourSeconds)
              .arg(double(after.CpuNs - before.CpuNs) / 1e9, 0, 'f', 1),
          QString());
    Latencies(program);
    program.Signal(SIGTERM);
    program.WaitForEnd(StartTimeoutMs);
}

void TFiguresRun::QuitLatency(TProgramRun& program, const QString& when) {
    QElapsedTimer clock;
    clock.start();
    program.Signal(SIGTERM);
    if (!program.WaitForEnd(StartTimeoutMs)) {
        Print(QStringLiteral("quit latency, ") + when, QStringLiteral("did not end"), QStringLiteral("under 1 s"));
        Failed = true;
        return;
    }
    Print(QStringLiteral("quit latency, ") + when, Milliseconds(double(clock.nsecsElapsed()) / 1e6),
          QStringLiteral("under 1 s"));
}

void TFiguresRun::QuitDuringAHeldLogin() {
    TProgramRun program(Options.Program);
    TSimProcess sim(Options.SimProgram, 3, QString());
    // Every reply is held for ten minutes: the program must not wait for the one to its login.
    if (!StartProgram(program, sim, 1, 600000)) {
        Failed = true;
        return;
    }
    QElapsedTimer waited;
    waited.start();
    bool loginSent = false;
    while (!loginSent && waited.elapsed() < StartTimeoutMs && program.Running()) {
        for (const QJsonValue& value :
             sim.Control(QStringLiteral("requests")).value(QStringLiteral("requests")).toArray()) {
            for (const QJsonValue& field : value.toObject().value(QStringLiteral("fields")).toArray()) {
                loginSent = loginSent ||
                            (field.toArray().at(0).toString() == u"akce" && field.toArray().at(1).toString() == u"get");
            }
        }
        QThread::msleep(20);
    }
    if (!loginSent) {
        Out << "the login request did not arrive" << Qt::endl;
        Failed = true;
        return;
    }
    QuitLatency(program, QStringLiteral("login reply held"));
}

bool TFiguresRun::Run() {
    Out << "figures on " << Options.Platform << (Options.Display.isEmpty() ? QString() : u' ' + Options.Display) << ", "
        << Options.Watched << " watched users" << Qt::endl;
    {
        TProgramRun program(Options.Program);
        TSimProcess sim(Options.SimProgram, 1, QString());
        if (!StartRun(program, sim, 1)) {
            return false;
        }
        StartFigures(program, sim);
        IdleFigures(program);
        Latencies(program);
        QuitLatency(program, QStringLiteral("idle"));
    }
    QuitDuringAHeldLogin();
    SqueezedHour();
    if (!ReplyToPaintMs.isEmpty()) {
        std::sort(ReplyToPaintMs.begin(), ReplyToPaintMs.end());
        Print(QStringLiteral("people reply to repainted list, median"),
              Milliseconds(ReplyToPaintMs.at(ReplyToPaintMs.size() / 2)));
        Print(QStringLiteral("  90th percentile, worst (%1 replies)").arg(ReplyToPaintMs.size()),
              Milliseconds(ReplyToPaintMs.at(ReplyToPaintMs.size() * 9 / 10)) + QStringLiteral(", ") +
                  Milliseconds(ReplyToPaintMs.last()));
    }
    return !Failed;
}
