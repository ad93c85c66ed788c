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
    if (!Running()) {
        return true;
    }
    ::kill(pid_t(Process.processId()), SIGTERM);
    if (!Process.waitForFinished(ProcessTimeout) || Process.exitCode() != 0) {
        return false;
    }
    if (!StatePath.isEmpty()) {
        QFile requests(StatePath + QStringLiteral(".requests"));
        if (requests.open(QIODevice::ReadOnly)) {
            LeftRequests += QJsonDocument::fromJson(requests.readAll()).array();
            requests.remove();
        }
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
