#include "programrun.h"

#include "store/encrypt.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "store/testing.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <csignal>

namespace {

QByteArray ReadProcFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 StatusField(const QByteArray& status, const QByteArray& name) {
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith(name + ':')) {
            return line.mid(name.size() + 1).trimmed().split(' ').first().toLongLong();
        }
    }
    return 0;
}

QString Unescaped(const QString& field) {
    QString text;
    for (qsizetype index = 0; index < field.size(); ++index) {
        if (field.at(index) != u'\\' || index + 1 == field.size()) {
            text += field.at(index);
            continue;
        }
        const QChar next = field.at(++index);
        text += next == u't' ? QChar(u'\t') : next == u'n' ? QChar(u'\n') : next == u'r' ? QChar(u'\r') : next;
    }
    return text;
}

} // namespace

QHash<qint64, TProcessFigures> ThreadFiguresOf(qint64 pid) {
    QHash<qint64, TProcessFigures> threads;
    const QString folder = QStringLiteral("/proc/%1/task/").arg(pid);
    const QStringList tasks = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        TProcessFigures& figures = threads[task.toLongLong()];
        figures.CpuNs = ReadProcFile(folder + task + QStringLiteral("/schedstat")).split(' ').first().toLongLong();
        const QByteArray status = ReadProcFile(folder + task + QStringLiteral("/status"));
        figures.Wakeups = StatusField(status, "voluntary_ctxt_switches");
        figures.Preemptions = StatusField(status, "nonvoluntary_ctxt_switches");
    }
    return threads;
}

TProcessFigures ProcessFiguresOf(qint64 pid) {
    TProcessFigures figures;
    figures.ResidentKb = StatusField(ReadProcFile(QStringLiteral("/proc/%1/status").arg(pid)), "VmRSS");
    const QHash<qint64, TProcessFigures> threads = ThreadFiguresOf(pid);
    for (const TProcessFigures& thread : threads) {
        figures.CpuNs += thread.CpuNs;
        figures.Wakeups += thread.Wakeups;
        figures.Preemptions += thread.Preemptions;
    }
    figures.Threads = int(threads.size());
    return figures;
}

TProgramRun::TProgramRun(QString program)
    : Program(std::move(program)) {
    for (const char* folder : {"config", "data", "runtime"}) {
        QDir(Home.path()).mkpath(QString::fromLatin1(folder));
    }
    QFile::setPermissions(Home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TProgramRun::~TProgramRun() {
    if (Running()) {
        Process.kill();
        Process.waitForFinished(60000);
    }
}

QString TProgramRun::ConfigHome() const {
    return Home.filePath(QStringLiteral("config"));
}

QString TProgramRun::StoreFolder() const {
    return Home.filePath(QStringLiteral("config/Velmor/Cvrlik"));
}

QString TProgramRun::DataFolder() const {
    return Home.filePath(QStringLiteral("data/Velmor/Cvrlik"));
}

QString TProgramRun::RecordPath() const {
    return DataFolder() + QStringLiteral("/testing.log");
}

void TProgramRun::Prepare(const TRunSettings& settings) {
    QDir().mkpath(StoreFolder());
    TSysReg store(StoreFolder());
    store.OpenKey(ProductKey, true);
    store.WriteString(QStringLiteral("LoginName"), settings.LoginName);
    store.WriteString(QStringLiteral("LoginPassword"), ScrambleText(settings.LoginPassword));
    store.WriteBool(QStringLiteral("RememberPassword"), true);
    store.WriteBool(QStringLiteral("UsingProxy"), true);
    store.WriteString(QStringLiteral("ProxyServer"), QStringLiteral("127.0.0.1"));
    store.WriteInteger(QStringLiteral("ProxyPort"), settings.ProxyPort);
    store.WriteInteger(QStringLiteral("SessionRefresh"), settings.SessionRefresh);
    store.WriteBool(QStringLiteral("AutoConnectOnStartup"), true);
    store.WriteBool(QStringLiteral("DisplayOnStart"), true);
    store.WriteBool(QStringLiteral("ReportNetworkErrors"), settings.ReportNetworkErrors);
    store.WriteBool(QStringLiteral("AlwaysReconnect"), settings.AlwaysReconnect);
    store.CloseKey();
    store.OpenKey(NickListKey, true);
    for (const QString& nick : settings.Watched) {
        store.WriteBool(nick, settings.Announced.contains(nick));
    }
    store.CloseKey();
    TimeDivisor = settings.TimeDivisor;
}

bool TProgramRun::Start(const QString& platform, const QString& display) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), Home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.qpa.*=false"));
    environment.remove(TimeDivisorVariable);
    if (TimeDivisor > 0) {
        environment.insert(TimeDivisorVariable, QString::number(TimeDivisor));
    }
    // No session bus: desktop notifications would go to whatever bus the caller has.
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    if (!display.isEmpty()) {
        environment.insert(QStringLiteral("DISPLAY"), display);
        // Under a sanitizer build: the system's D-Bus library, which the X platform loads, keeps a buffer to the end.
        QFile suppressions(Home.filePath(QStringLiteral("lsan.supp")));
        if (suppressions.open(QIODevice::WriteOnly)) {
            suppressions.write("leak:libdbus-1.so\n");
        }
        environment.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=") + suppressions.fileName());
    }
    Process.setProcessEnvironment(environment);
    Process.setWorkingDirectory(Home.path());
    // The offscreen platform warns of every raise() and size hint: kept beside the store, not in the run's output.
    Process.setStandardErrorFile(Home.filePath(QStringLiteral("program.err")), QIODevice::Append);
    Process.setStandardOutputFile(QProcess::nullDevice());
    StartMs = QDateTime::currentMSecsSinceEpoch();
    Process.start(Program, {});
    return Process.waitForStarted(60000);
}

void TProgramRun::Signal(int number) {
    if (Running()) {
        ::kill(pid_t(Process.processId()), number);
    }
}

bool TProgramRun::WaitForEnd(int ms) {
    return Process.state() == QProcess::NotRunning || Process.waitForFinished(ms);
}

TProcessFigures TProgramRun::Figures() const {
    return Running() ? ProcessFiguresOf(Process.processId()) : TProcessFigures{};
}

QList<TRecordLine> TProgramRun::Record() const {
    QList<TRecordLine> lines;
    QFile file(RecordPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return lines;
    }
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(raw).split(u'\t');
        if (fields.size() < 3) {
            continue;
        }
        TRecordLine line{fields.at(0).toLongLong(), fields.at(1).toLongLong(), fields.at(2), {}};
        for (qsizetype index = 3; index < fields.size(); ++index) {
            line.Details.append(Unescaped(fields.at(index)));
        }
        lines.append(line);
    }
    return lines;
}
