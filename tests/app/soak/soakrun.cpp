#include "soakrun.h"

#include "store/sysreg.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QThread>
#include <algorithm>
#include <csignal>

namespace {

// The HTTP client's idle timeout by design; squeezed like every clock of the program.
constexpr int IdleTimeoutMs = 60000;
// How long the program may take to catch up once the faults are over, and to end; generous for a sanitizer build
// on a loaded machine.
constexpr int QuietTimeoutMs = 180000;
constexpr int EndTimeoutMs = 120000;

qint64 Now() {
    return QDateTime::currentMSecsSinceEpoch();
}

QString Megabytes(qint64 kb) {
    return QString::number(double(kb) / 1024.0, 'f', 1) + QStringLiteral(" MB");
}

} // namespace

TSoakRun::TSoakRun(TSoakOptions options, QTextStream& out)
    : Options(std::move(options))
    , Out(out)
    , Random(Options.Seed)
    , Sim(Options.SimProgram, Options.Seed, StateFolder.filePath(QStringLiteral("world.json")))
    , Program(Options.Program) {}

void TSoakRun::Problem(const QString& text) {
    Problems.append(text);
    Out << "PROBLEM: " << text << Qt::endl;
}

bool TSoakRun::Run() {
    if (!SetUp()) {
        return false;
    }
    Soak();
    if (Quieten()) {
        CheckMessages();
    }
    CheckEnd();
    CheckBoxes();
    CheckResident();
    if (Problems.isEmpty()) {
        Out << "PASS" << Qt::endl;
    } else {
        Out << "FAIL (seed " << Options.Seed << "; the same faults come in the same order with --seed " << Options.Seed
            << ")" << Qt::endl;
    }
    return Problems.isEmpty();
}

bool TSoakRun::SetUp() {
    if (!Sim.Start()) {
        Problem(QStringLiteral("klabos-sim does not start"));
        return false;
    }
    const QJsonObject crowd =
        Sim.Control(QStringLiteral("crowd"), ControlQuery({{u"count"_qs, QString::number(Options.Crowd)}}));
    QStringList watched{QStringLiteral("Anička"), QStringLiteral("Žlutý kůň"), QStringLiteral("Ferda \"Mravenec\"")};
    for (const QJsonValue& nick : crowd.value(QStringLiteral("nicks")).toArray()) {
        if (watched.size() < Options.Watched) {
            watched.append(nick.toString());
        }
    }
    // Keys live five simulated minutes; a simulated minute passes every squeezed minute.
    Sim.Control(QStringLiteral("keylife"), ControlQuery({{u"minutes"_qs, u"5"_qs}}));
    SetWorldPace();

    TRunSettings settings;
    settings.ProxyPort = Sim.Port();
    settings.Watched = watched;
    for (qsizetype index = 0; index < watched.size(); index += 10) {
        settings.Announced.append(watched.at(index));
    }
    settings.TimeDivisor = Options.TimeDivisor;
    Program.Prepare(settings);
    if (!Program.Start()) {
        Problem(QStringLiteral("the program does not start"));
        return false;
    }
    Out << "soak: seed " << Options.Seed << ", " << Options.Seconds << " s at " << Options.TimeDivisor << "x ("
        << Options.Seconds * Options.TimeDivisor / 60 << " min of use), " << Options.Crowd + 12 << " users, "
        << watched.size() << " watched, a message every " << Options.MailMs << " ms" << Qt::endl;
    return true;
}

void TSoakRun::SetWorldPace() {
    Sim.Control(QStringLiteral("clock"), ControlQuery({{u"ms"_qs, QString::number(60000 / Options.TimeDivisor)}}));
    Sim.Control(QStringLiteral("mail"), ControlQuery({{u"ms"_qs, QString::number(Options.MailMs)}}));
}

void TSoakRun::Soak() {
    QElapsedTimer clock;
    clock.start();
    const qint64 lengthMs = qint64(Options.Seconds) * 1000;
    const qint64 warmUpMs = std::clamp<qint64>(lengthMs / 10, 15000, 120000);
    qint64 nextFault = 3000;
    qint64 nextSample = 0;
    qint64 nextTake = 2000;
    while (clock.elapsed() < lengthMs && Program.Running()) {
        if (clock.elapsed() >= nextSample) {
            SampleResident(clock.elapsed(), warmUpMs);
            nextSample += 1000;
        }
        if (clock.elapsed() >= nextTake) {
            TakeRequests();
            nextTake = clock.elapsed() + 2000;
        }
        if (clock.elapsed() >= nextFault) {
            Fault();
            nextFault = clock.elapsed() + 1000 + Random.bounded(2000);
        }
        QThread::msleep(100);
    }
    if (!Program.Running()) {
        Problem(QStringLiteral("the program ended during the soak (exit status %1, code %2)")
                    .arg(Program.ExitStatus())
                    .arg(Program.ExitCode()));
    }
    Out << "faults:";
    for (auto fault = Faults.cbegin(); fault != Faults.cend(); ++fault) {
        Out << ' ' << fault.value() << ' ' << fault.key() << (std::next(fault) == Faults.cend() ? "" : ",");
    }
    Out << Qt::endl;
}

void TSoakRun::Fault() {
    Sim.Control(QStringLiteral("delay"), ControlQuery({{u"ms"_qs, u"0"_qs}}));
    const int kind = int(Random.bounded(12));
    if (kind < 3) {
        // Error pages for refreshes and retrievals; a login that got one would be a wrong password to the program.
        const QString action = Random.bounded(2) ? QStringLiteral("lidi") : QStringLiteral("zpravy");
        Sim.Control(QStringLiteral("fail"),
                    ControlQuery({{u"count"_qs, QString::number(1 + Random.bounded(3))}, {u"akce"_qs, action}}));
        ++Faults[QStringLiteral("error pages")];
    } else if (kind < 6) {
        const bool reset = Random.bounded(2);
        Sim.Control(QStringLiteral("drop"), ControlQuery({{u"count"_qs, QString::number(1 + Random.bounded(2))},
                                                          {u"kind"_qs, reset ? u"reset"_qs : u"close"_qs}}));
        ++Faults[reset ? QStringLiteral("resets") : QStringLiteral("drops")];
    } else if (kind < 8) {
        // Up to half again the squeezed idle timeout: some replies come late, some too late.
        const int longest = IdleTimeoutMs / Options.TimeDivisor * 3 / 2;
        Sim.Control(QStringLiteral("delay"),
                    ControlQuery({{u"ms"_qs, QString::number(100 + Random.bounded(longest))}}));
        ++Faults[QStringLiteral("delays")];
    } else if (kind < 10) {
        Sim.Control(QStringLiteral("expire"));
        ++Faults[QStringLiteral("key expiries")];
    } else if (kind < 11) {
        Restart();
    } else {
        Freeze();
    }
}

void TSoakRun::Restart() {
    TakeRequests();
    if (!Sim.Stop()) {
        Problem(Sim.Failure());
    }
    // What it answered between the last take and its end.
    Ledger.Take(Sim.TakeLeftRequests());
    QThread::msleep(Random.bounded(2000));
    if (!Sim.Start()) {
        Problem(QStringLiteral("klabos-sim did not start again on port %1").arg(Sim.Port()));
        return;
    }
    SetWorldPace();
    ++Faults[QStringLiteral("restarts")];
}

void TSoakRun::Freeze() {
    Sim.Freeze();
    QThread::msleep(1000 + Random.bounded(3000));
    Sim.Thaw();
    ++Faults[QStringLiteral("freezes")];
}

void TSoakRun::TakeRequests() {
    const QJsonObject taken = Sim.Control(QStringLiteral("requests/take"));
    if (!taken.value(QStringLiteral("requests")).isArray()) {
        // The stand-in may have handed its record over and the answer got lost: the counts are not to be trusted.
        Problem(QStringLiteral("klabos-sim did not hand over the requests it recorded"));
        return;
    }
    Ledger.Take(taken.value(QStringLiteral("requests")).toArray());
}

void TSoakRun::SampleResident(qint64 elapsedMs, qint64 warmUpMs) {
    const TProcessFigures figures = Program.Figures();
    if (figures.ResidentKb == 0) {
        return;
    }
    // The first sample after the program has had a moment to show its window, not the bare process after exec.
    if (StartResidentKb == 0 && elapsedMs >= 2000) {
        StartResidentKb = figures.ResidentKb;
    }
    ProgramCpuNs = figures.CpuNs;
    if (elapsedMs < warmUpMs) {
        WarmResidentKb = figures.ResidentKb;
        return;
    }
    MaxResidentKb = qMax(MaxResidentKb, figures.ResidentKb);
}

qint64 TSoakRun::ProgramPeopleRepliesSince(qint64 ms) const {
    const QList<TRecordLine> record = Program.Record();
    return std::count_if(record.cbegin(), record.cend(),
                         [ms](const TRecordLine& line) { return line.Ms >= ms && line.Event == u"people-reply"; });
}

bool TSoakRun::Quieten() {
    QuietSince = Now();
    Sim.Control(QStringLiteral("delay"), ControlQuery({{u"ms"_qs, u"0"_qs}}));
    Sim.Control(QStringLiteral("fail"), ControlQuery({{u"count"_qs, u"0"_qs}}));
    Sim.Control(QStringLiteral("drop"), ControlQuery({{u"count"_qs, u"0"_qs}}));
    // No more messages, and no more simulated minutes (the world leaves messages of its own as they pass).
    Sim.Control(QStringLiteral("mail"), ControlQuery({{u"ms"_qs, u"0"_qs}}));
    Sim.Control(QStringLiteral("clock"), ControlQuery({{u"ms"_qs, u"0"_qs}}));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < QuietTimeoutMs && Program.Running()) {
        TakeRequests();
        bool inboxEmpty = false;
        for (const QJsonValue& user : Sim.Control(QStringLiteral("state")).value(QStringLiteral("users")).toArray()) {
            if (user.toObject().value(QStringLiteral("nick")).toString() == u"demo") {
                inboxEmpty = user.toObject().value(QStringLiteral("inbox")).toArray().isEmpty();
            }
        }
        // Logged in again: lists answered since the faults ended, and the program took them whole.
        if (inboxEmpty && Ledger.LastPeopleAnsweredAt > Ledger.LastLoginAt &&
            Ledger.LastPeopleAnsweredAt > QuietSince && ProgramPeopleRepliesSince(QuietSince) >= 2) {
            TakeRequests();
            ConfirmDelayMs = int(waited.elapsed());
            Out << "quiet: logged in again and every message confirmed " << ConfirmDelayMs << " ms after the faults"
                << Qt::endl;
            return true;
        }
        QThread::msleep(200);
    }
    Problem(QStringLiteral("%1 s after the faults the program is not logged in again or has not taken every message")
                .arg(QuietTimeoutMs / 1000));
    return false;
}

void TSoakRun::CheckMessages() {
    // Read while the program runs: the store is shared, each of its sequences is whole.
    TSysReg store(Program.StoreFolder());
    const QStringList missing = CheckStoredMessages(store, Ledger.HandedOut.values());
    for (const QString& problem : missing.mid(0, 10)) {
        Problem(problem);
    }
    const int stored = StoredMessageCount(store);
    const QStringList unknown = UnknownStoredMessages(store, Ledger.HandedOut.values());
    for (const QString& message : unknown.mid(0, 10)) {
        Problem(QStringLiteral("stored, and never handed out as far as the record tells: ") + message);
    }
    for (const QString& entry : Ledger.Malformed.mid(0, 10)) {
        Problem(QStringLiteral("not a request in klabos-sim's record: ") + entry);
    }
    Out << "requests: " << Ledger.Logins << " logins, " << Ledger.PeopleAnswered << " lists answered, "
        << Ledger.PeopleRefused << " refused, " << Ledger.Retrievals << " retrievals, " << Ledger.Dropped << " dropped"
        << Qt::endl;
    Out << "messages: " << Ledger.HandedOut.size() << " handed out, " << stored << " stored, " << missing.size()
        << " missing" << Qt::endl;
    if (stored != Ledger.HandedOut.size()) {
        Problem(
            QStringLiteral("the store holds %1 messages for %2 handed out").arg(stored).arg(Ledger.HandedOut.size()));
    }
    if (Ledger.HandedOut.isEmpty()) {
        Problem(QStringLiteral("no message was handed out"));
    }
}

void TSoakRun::CheckEnd() {
    if (!Program.Running()) {
        return;
    }
    const TProcessFigures figures = Program.Figures();
    ProgramCpuNs = figures.CpuNs;
    Program.Signal(SIGTERM);
    if (!Program.WaitForEnd(EndTimeoutMs)) {
        Problem(QStringLiteral("the program does not end on SIGTERM"));
        Program.Signal(SIGKILL);
        Program.WaitForEnd(EndTimeoutMs);
    } else if (Program.ExitStatus() != QProcess::NormalExit || Program.ExitCode() != 0) {
        Problem(QStringLiteral("the program ended with status %1, code %2")
                    .arg(Program.ExitStatus())
                    .arg(Program.ExitCode()));
    }
    Out << "cpu: " << QString::number(double(ProgramCpuNs) / 1e9, 'f', 1) << " s of the program's CPU time" << Qt::endl;
}

void TSoakRun::CheckBoxes() {
    int boxes = 0;
    for (const TRecordLine& line : Program.Record()) {
        if (line.Event == u"box-open" || line.Event == u"dialog-open") {
            ++boxes;
            Problem(QStringLiteral("%1: %2").arg(line.Event, line.Details.join(QStringLiteral(" | "))));
        }
    }
    Out << "boxes: " << boxes << Qt::endl;
}

void TSoakRun::CheckResident() {
    Out << "memory: " << Megabytes(StartResidentKb) << " at start, " << Megabytes(WarmResidentKb)
        << " after the warm-up, " << Megabytes(MaxResidentKb) << " at most afterwards (+"
        << Megabytes(qMax<qint64>(0, MaxResidentKb - WarmResidentKb)) << ", bound "
        << Megabytes(Options.ResidentBoundKb) << (Options.CheckResident ? ")" : ", not checked in this build)")
        << Qt::endl;
    if (Options.CheckResident && MaxResidentKb - WarmResidentKb > Options.ResidentBoundKb) {
        Problem(QStringLiteral("resident memory grew by %1 after the warm-up")
                    .arg(Megabytes(MaxResidentKb - WarmResidentKb)));
    }
}
