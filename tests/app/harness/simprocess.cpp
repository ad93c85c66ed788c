#include "simprocess.h"

#include "simexchange.h"

#include <QFile>
#include <QJsonDocument>
#include <csignal>
#include <utility>

QUrlQuery ControlQuery(std::initializer_list<std::pair<QString, QString>> items) {
    QUrlQuery query;
    for (const auto& [name, value] : items) {
        query.addQueryItem(name, value);
    }
    return query;
}

namespace {

// A start or an end on a loaded machine may take long; these are no measure of speed.
constexpr int ProcessTimeout = 60000;

} // namespace

bool ReadLeftRequests(const QString& path, QJsonArray& requests, QString& failure) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failure = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        failure = QStringLiteral("%1 is not a list of requests (%2)").arg(path, error.errorString());
        return false;
    }
    const QJsonArray left = document.array();
    for (qsizetype index = 0; index < left.size(); ++index) {
        if (!left.at(index).isObject()) {
            failure = QStringLiteral("entry %1 of %2 is not a request").arg(index).arg(path);
            return false;
        }
    }
    // One by one: appending the array itself would make it one nested entry.
    for (const QJsonValue& request : left) {
        requests.append(request);
    }
    return true;
}

TSimProcess::TSimProcess(QString program, quint32 seed, QString statePath)
    : Program(std::move(program))
    , Seed(seed)
    , StatePath(std::move(statePath)) {}

TSimProcess::~TSimProcess() {
    if (Running()) {
        Thaw();
        Stop();
    }
}

bool TSimProcess::Start() {
    QStringList arguments{QStringLiteral("--port"), QString::number(ListenPort), QStringLiteral("--seed"),
                          QString::number(Seed)};
    if (!StatePath.isEmpty()) {
        arguments << QStringLiteral("--state") << StatePath;
    }
    Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Process.start(Program, arguments);
    if (!Process.waitForStarted(ProcessTimeout)) {
        return false;
    }
    while (!Process.canReadLine() && Process.waitForReadyRead(ProcessTimeout)) {
    }
    const QByteArray line = Process.readLine().trimmed();
    if (!line.startsWith("port ")) {
        return false;
    }
    ListenPort = quint16(line.mid(5).toUInt());
    return ListenPort != 0;
}

bool TSimProcess::Stop() {
    LastFailure.clear();
    if (!Running()) {
        return true;
    }
    ::kill(pid_t(Process.processId()), SIGTERM);
    if (!Process.waitForFinished(ProcessTimeout) || Process.exitCode() != 0) {
        LastFailure = QStringLiteral("klabos-sim did not end cleanly (exit code %1)").arg(Process.exitCode());
        return false;
    }
    if (!StatePath.isEmpty()) {
        // A clean end always writes the file, an empty list included.
        const QString path = StatePath + QStringLiteral(".requests");
        if (!ReadLeftRequests(path, LeftRequests, LastFailure)) {
            return false;
        }
        QFile::remove(path);
    }
    return true;
}

QJsonArray TSimProcess::TakeLeftRequests() {
    return std::exchange(LeftRequests, {});
}

void TSimProcess::Freeze() {
    ::kill(pid_t(Process.processId()), SIGSTOP);
}

void TSimProcess::Thaw() {
    ::kill(pid_t(Process.processId()), SIGCONT);
}

QJsonObject TSimProcess::Control(const QString& command, const QUrlQuery& parameters) {
    QByteArray target = "/control/" + command.toUtf8();
    if (!parameters.isEmpty()) {
        target += '?' + parameters.toString(QUrl::FullyEncoded).toUtf8();
    }
    const SimExchange exchange = SimExchange::Get(ListenPort, target);
    const QJsonObject answer = QJsonDocument::fromJson(exchange.Body()).object();
    return answer.value(QStringLiteral("ok")).toBool() ? answer : QJsonObject();
}
