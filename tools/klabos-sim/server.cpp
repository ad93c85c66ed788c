#include "server.h"

#include "connection.h"
#include "control.h"
#include "formfields.h"
#include "text/codepage.h"

#include <QDateTime>
#include <QTcpSocket>

namespace KlabosSim {

Server::Server(quint32 seed, bool populate, QObject* parent)
    : QObject(parent)
    , SimWorld(seed, populate)
    , SimService(SimWorld)
    , Control(new ControlEndpoint(*this)) {
    connect(&Listener, &QTcpServer::newConnection, this, &Server::Accept);
    connect(&Clock, &QTimer::timeout, this, [this] { SimWorld.Tick(); });
    connect(&MailClock, &QTimer::timeout, this, [this] { SimWorld.LeaveMail(); });
}

Server::~Server() {
    delete Control;
}

bool Server::Listen(quint16 port) {
    return Listener.listen(QHostAddress::LocalHost, port);
}

void Server::StartClock(int msPerTick) {
    if (msPerTick <= 0) {
        Clock.stop();
    } else {
        Clock.start(msPerTick);
    }
}

void Server::StartMail(int msPerMessage) {
    if (msPerMessage <= 0) {
        MailClock.stop();
    } else {
        MailClock.start(msPerMessage);
    }
}

void Server::SetProxyAuth(const QString& user, const QString& password) {
    ProxyUser = user;
    ProxyPassword = password;
}

void Server::DropNext(int count, DropKind kind) {
    DropCount = qMax(0, count);
    DropAs = kind;
}

void Server::Accept() {
    while (QTcpSocket* socket = Listener.nextPendingConnection()) {
        auto* connection = new Connection(socket, this);
        connect(connection, &Connection::RequestRead, this, &Server::Answer);
    }
}

bool Server::ProxyAuthorised(const HttpRequest& request) const {
    if (ProxyUser.isEmpty()) {
        return true;
    }
    // The credentials may have been encoded as Windows-1250 or as UTF-8; they are the same for ASCII.
    const QString credentials = ProxyUser + u':' + ProxyPassword;
    const QByteArray sent = request.Header("Proxy-Authorization");
    return sent == "Basic " + ToCp1250(credentials).toBase64() || sent == "Basic " + credentials.toUtf8().toBase64();
}

bool Server::FailsNow(const RecordedRequest& record) {
    if (FailCount <= 0 || (!FailAction.isEmpty() && record.Field(QStringLiteral("akce")) != FailAction)) {
        return false;
    }
    --FailCount;
    return true;
}

void Server::Record(RecordedRequest record) {
    Recorded.append(record);
    Q_EMIT RequestRecorded(Recorded.last());
}

void Server::Finish(Connection* connection, RecordedRequest record, const Reply& reply, int delayMs) {
    record.Status = reply.Status;
    record.ReplyBody = reply.Body;
    connection->Send(reply, delayMs);
    Record(std::move(record));
}

void Server::Answer(Connection* connection) {
    const HttpRequestReader& reader = connection->Reader();
    const HttpRequest& request = reader.Request();
    RecordedRequest record;
    record.ReceivedAt = QDateTime::currentMSecsSinceEpoch();
    record.Method = request.Method;
    record.Target = request.Target;
    record.Path = request.Path;
    record.Query = request.Query;
    record.Headers = request.Headers;
    record.Body = request.Body;
    record.ViaProxy = request.AbsoluteTarget;

    if (reader.Status() == HttpRequestReader::TStatus::Failed) {
        record.Note = reader.ErrorText();
        Finish(connection, record, Reply::HttpError(reader.ErrorCode(), QString::fromUtf8(reader.ErrorText())), 0);
        return;
    }
    // The control interface answers only direct requests and is not recorded.
    if (!request.AbsoluteTarget && ControlEndpoint::Serves(request.Path)) {
        connection->Send(Control->Handle(request), 0);
        return;
    }
    record.Fields = FormFields::Parse(request.Body).ReadableFields();
    if (request.AbsoluteTarget && !ProxyAuthorised(request)) {
        Reply reply = Reply::HttpError(407, QStringLiteral("The proxy wants a user name and password."));
        reply.AddHeader("Proxy-Authenticate", "Basic realm=\"klabos-sim\"");
        record.Note = request.HasHeader("Proxy-Authorization") ? "wrong proxy credentials" : "no proxy credentials";
        Finish(connection, record, reply, 0);
        return;
    }
    if (!Service::Serves(request.Path)) {
        Finish(connection, record, Reply::HttpError(404, QStringLiteral("No such page.")), 0);
        return;
    }
    if (DropCount > 0) {
        --DropCount;
        if (DropAs == DropKind::Cut) {
            // The service has answered (a message handed out counts as sent); the answer is cut on its way.
            const Reply reply = SimService.Handle(request);
            record.Note = "dropped: cut";
            record.Status = reply.Status;
            record.ReplyBody = reply.Body;
            Record(record);
            connection->SendCut(reply);
            return;
        }
        record.Note = DropAs == DropKind::Reset ? "dropped: reset" : "dropped: closed";
        Record(record);
        if (DropAs == DropKind::Reset) {
            connection->Reset();
        } else {
            connection->CloseWithoutReply();
        }
        return;
    }
    if (FailsNow(record)) {
        record.Note = "failed on request";
        Finish(connection, record, Reply::ErrorPage(QStringLiteral("Služba je dočasně mimo provoz.")), DelayMs);
        return;
    }
    Finish(connection, record, SimService.Handle(request), DelayMs);
}

} // namespace KlabosSim
