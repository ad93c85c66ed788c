#include "crashrun.h"

#include "store/settings.h"
#include "store/sysreg.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <utility>

namespace {

constexpr int BaseCount = 50;
constexpr int SenderPool = 300;
constexpr int ToolValues = 10;
constexpr int StartTimeoutMs = 60000;

QString ToolNick(int round, int index) {
    return QStringLiteral("Nástroj %1-%2").arg(round).arg(index);
}

QString ToolStamp(int round, int index) {
    return QStringLiteral("2030%1").arg(qint64(round) * 100 + index, 10, 10, QLatin1Char('0'));
}

const QString ToolMessagesKey = MessagesKeyOf(QStringLiteral("Nástroj"));

// How many of the tool's values of a round the key holds.
int ToolValuesPresent(TSysReg& store, const QString& key, int round, bool nicks) {
    int present = 0;
    store.CloseKey();
    if (round > 0 && store.OpenKey(key, false)) {
        for (int index = 1; index <= ToolValues; ++index) {
            present += store.ValueExists(nicks ? ToolNick(round, index) : ToolStamp(round, index)) ? 1 : 0;
        }
    }
    store.CloseKey();
    return present;
}

} // namespace

TCrashRun::TCrashRun(TCrashOptions options, QTextStream& out)
    : Options(std::move(options))
    , Out(out)
    , Random(Options.Seed)
    , Sim(Options.SimProgram, Options.Seed, QString())
    , Program(Options.Program) {}

void TCrashRun::Problem(const QString& text) {
    Problems.append(text);
    Out << "PROBLEM: " << text << Qt::endl;
}

bool TCrashRun::Run() {
    if (!SetUp()) {
        return false;
    }
    for (int kill = 0; kill < Options.Kills && Problems.size() < 10; ++kill) {
        const bool held = kill % 2 == 0 ? KillProgram() : KillTool();
        if (held && CheckStore()) {
            ++Survived;
        }
        if ((kill + 1) % 100 == 0) {
            Out << "  " << kill + 1 << " kills, " << Survived << " survived" << Qt::endl;
        }
    }
    Out << "kills: " << Survived << " survived of " << ProgramKills + ToolKills << " (" << ProgramKills
        << " of the program while it stored messages, " << ToolKills << " of the store tool while it imported)"
        << Qt::endl;
    Out << "messages: " << MessagesQueued << " queued, " << Ledger.HandedOut.size() << " handed out, "
        << Ledger.Confirmed.size() << " confirmed by the program, all of them checked in the store after each kill"
        << Qt::endl;
    if (Problems.isEmpty()) {
        Out << "PASS" << Qt::endl;
    } else {
        Out << "FAIL (seed " << Options.Seed << "; the same kill moments are drawn again with --seed " << Options.Seed
            << ")" << Qt::endl;
    }
    return Problems.isEmpty();
}

bool TCrashRun::SetUp() {
    if (!Sim.Start()) {
        Problem(QStringLiteral("klabos-sim does not start"));
        return false;
    }
    Sim.Control(QStringLiteral("clock"), ControlQuery({{u"ms"_qs, u"0"_qs}}));
    const QJsonArray crowd =
        Sim.Control(QStringLiteral("crowd"), ControlQuery({{u"count"_qs, QString::number(BaseCount)}}))
            .value(QStringLiteral("nicks"))
            .toArray();
    TRunSettings settings;
    settings.ProxyPort = Sim.Port();
    settings.TimeDivisor = 20;
    for (const QJsonValue& nick : crowd) {
        Base.append(nick.toString());
        BaseFlags.insert(nick.toString(), Base.size() % 5 == 0);
        if (Base.size() % 5 == 0) {
            settings.Announced.append(nick.toString());
        }
    }
    settings.Watched = Base;
    Program.Prepare(settings);

    // How long an import runs when nobody stops it: the kills fall within that time.
    const QString file = Work.filePath(QStringLiteral("round.reg"));
    ++ToolRound;
    WriteImport(file);
    QElapsedTimer timer;
    timer.start();
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Program.ConfigHome());
    tool.setProcessEnvironment(environment);
    tool.start(Options.StoreTool, {QStringLiteral("import"), file});
    if (!tool.waitForFinished(StartTimeoutMs) || tool.exitCode() != 0) {
        Problem(QStringLiteral("the store tool cannot import: %1").arg(QString::fromUtf8(tool.readAllStandardError())));
        return false;
    }
    ToolRunMs = qMax(5, int(timer.elapsed()));
    Out << "crash: seed " << Options.Seed << ", the program and the store tool (an import runs " << ToolRunMs
        << " ms), " << Options.Kills << " kills" << Qt::endl;
    return CheckStore();
}

void TCrashRun::QueueMessages() {
    for (int count = 0; count < 8; ++count) {
        ++MessagesQueued;
        const QString sender = QStringLiteral("Odesílatel %1").arg(Random.bounded(SenderPool));
        Sim.Control(QStringLiteral("message"),
                    ControlQuery({{u"to"_qs, u"demo"_qs},
                                  {u"from"_qs, sender},
                                  {u"text"_qs, QStringLiteral("Zkouška č. %1 – ať to vydrží").arg(MessagesQueued)}}));
    }
}

bool TCrashRun::TakeRequests() {
    const QJsonValue taken = Sim.Control(QStringLiteral("requests/take")).value(QStringLiteral("requests"));
    if (!taken.isArray()) {
        Problem(QStringLiteral("klabos-sim did not hand over the requests it recorded"));
        return false;
    }
    Ledger.Take(taken.toArray());
    return true;
}

bool TCrashRun::WaitForRetrieval(int timeoutMs) {
    const int before = Ledger.Retrievals;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs && Program.Running()) {
        if (!TakeRequests()) {
            return false;
        }
        if (Ledger.Retrievals > before) {
            return true;
        }
        QThread::msleep(5);
    }
    return false;
}

bool TCrashRun::KillProgram() {
    QueueMessages();
    if (!Program.Start()) {
        Problem(QStringLiteral("the program does not start"));
        return false;
    }
    // Mostly while messages are being stored; now and then anywhere from the start on.
    const bool whileStoring = Random.bounded(4) != 0;
    if (whileStoring && !WaitForRetrieval(StartTimeoutMs)) {
        Problem(QStringLiteral("the program asked for no message within %1 s").arg(StartTimeoutMs / 1000));
    }
    QThread::msleep(Random.bounded(whileStoring ? 150 : 600));
    Program.Signal(SIGKILL);
    Program.WaitForEnd(StartTimeoutMs);
    ++ProgramKills;
    TakeRequests();
    return true;
}

void TCrashRun::WriteImport(const QString& path) const {
    QString text = QStringLiteral("; Cvrlik configuration store\n\n[%1]\n").arg(NickListKey);
    for (int index = 1; index <= ToolValues; ++index) {
        if (ToolRound > 1) {
            text += QStringLiteral("\"%1\"=-\n").arg(ToolNick(ToolRound - 1, index));
        }
        text += QStringLiteral("\"%1\"=dword:00000000\n").arg(ToolNick(ToolRound, index));
    }
    text += QStringLiteral("\n[%1]\n").arg(ToolMessagesKey);
    for (int index = 1; index <= ToolValues; ++index) {
        if (ToolRound > 1) {
            text += QStringLiteral("\"%1\"=-\n").arg(ToolStamp(ToolRound - 1, index));
        }
        text += QStringLiteral("\"%1\"=\"[01.01.2030 00:00:00] Zpráva nástroje %2/%3\"\n")
                    .arg(ToolStamp(ToolRound, index))
                    .arg(ToolRound)
                    .arg(index);
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(text.toUtf8());
    }
}

bool TCrashRun::KillTool() {
    ++ToolRound;
    const QString file = Work.filePath(QStringLiteral("round.reg"));
    WriteImport(file);
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Program.ConfigHome());
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(Options.StoreTool, {QStringLiteral("import"), file});
    if (!tool.waitForStarted(StartTimeoutMs)) {
        Problem(QStringLiteral("the store tool does not start"));
        return false;
    }
    // Within the time an import takes, weighted toward its end, where the writing is.
    QThread::msleep(ToolRunMs / 3 + Random.bounded(ToolRunMs));
    if (tool.state() == QProcess::Running) {
        ::kill(pid_t(tool.processId()), SIGKILL);
    }
    tool.waitForFinished(StartTimeoutMs);
    ++ToolKills;
    return true;
}

bool TCrashRun::CheckToolChangeWhole(TSysReg& store) {
    // Round R of the tool replaces the values of round R - 1 in one transaction: after a kill, either round R's
    // values are all there and R - 1's gone, or none of round R's is there, in each key.
    bool whole = true;
    for (const auto& [key, nicks] : {std::pair{NickListKey, true}, std::pair{ToolMessagesKey, false}}) {
        const int now = ToolValuesPresent(store, key, ToolRound, nicks);
        const int before = ToolValuesPresent(store, key, ToolRound - 1, nicks);
        const int expectedBefore = LastWholeRound.value(key) == ToolRound - 1 ? ToolValues : 0;
        if (now == ToolValues && before == 0) {
            LastWholeRound[key] = ToolRound;
        } else if (now != 0 || before != expectedBefore) {
            whole = false;
            Problem(QStringLiteral("the tool's round %1 is half in \"%2\": %3 values of it, %4 of the round before")
                        .arg(ToolRound)
                        .arg(key)
                        .arg(now)
                        .arg(before));
        }
    }
    return whole;
}

bool TCrashRun::CheckStore() {
    if (!QDir(Program.StoreFolder()).entryList({QStringLiteral("*.unreadable-*")}).isEmpty()) {
        Problem(QStringLiteral("the store was moved aside as unreadable"));
        return false;
    }
    TSysReg store(Program.StoreFolder());
    const QStringList keys = store.GetKeyPaths();
    if (!store.TakeSetAsideNotice().isEmpty() || keys.isEmpty()) {
        Problem(QStringLiteral("the store does not open: %1").arg(store.FailureReason()));
        return false;
    }
    QList<THandedMessage> confirmed;
    QSet<QString> senders;
    for (const quint64 id : Ledger.Confirmed) {
        if (Ledger.HandedOut.contains(id)) {
            confirmed.append(Ledger.HandedOut.value(id));
            senders.insert(Ledger.HandedOut.value(id).Sender);
        } else {
            Problem(QStringLiteral("the program confirmed message %1, which it was never handed").arg(id));
        }
    }
    for (const QString& entry : std::exchange(Ledger.Malformed, {})) {
        Problem(QStringLiteral("not a request in klabos-sim's record: ") + entry);
    }
    const QStringList missing = CheckStoredMessages(store, confirmed);
    for (const QString& problem : missing.mid(0, 5)) {
        Problem(problem);
    }

    bool listWhole = true;
    store.CloseKey();
    if (!store.OpenKey(NickListKey, false)) {
        Problem(QStringLiteral("the watched-user list is gone"));
        return false;
    }
    QSet<QString> listed;
    for (const QString& nick : store.GetValueNames()) {
        listed.insert(nick);
    }
    for (const QString& nick : Base) {
        if (!listed.contains(nick) || store.ReadBool(nick) != BaseFlags.value(nick)) {
            listWhole = false;
            Problem(QStringLiteral("the watched-user list lost %1 or its flag").arg(nick));
            break;
        }
    }
    store.CloseKey();
    for (const QString& sender : senders) {
        if (!listed.contains(sender)) {
            listWhole = false;
            Problem(QStringLiteral("%1 left a stored message but is not watched").arg(sender));
            break;
        }
    }
    return missing.isEmpty() && listWhole && CheckToolChangeWhole(store);
}
