#include "connection.h"

#include <QTcpSocket>
#include <sys/socket.h>

namespace KlabosSim {

Connection::Connection(QTcpSocket* socket, QObject* parent)
    : QObject(parent)
    , Socket(socket) {
    Socket->setParent(this);
    connect(Socket, &QTcpSocket::readyRead, this, &Connection::ReadAvailable);
    connect(Socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    Timeout.setSingleShot(true);
    Timeout.setInterval(RequestTimeoutMs);
    connect(&Timeout, &QTimer::timeout, this, &Connection::TimedOut);
    Timeout.start();
}

void Connection::ReadAvailable() {
    if (Answered) {
        Socket->readAll(); // one request per connection; anything after it is ignored
        return;
    }
    if (RequestReader.Feed(Socket->readAll()) != HttpRequestReader::TStatus::NeedMore) {
        Answered = true;
        Timeout.stop();
        Q_EMIT RequestRead(this);
    }
}

void Connection::TimedOut() {
    if (Answered) {
        return;
    }
    Answered = true;
    Send(Reply::HttpError(408, QStringLiteral("The request did not arrive whole in time.")), 0);
}

void Connection::Send(const Reply& reply, int delayMs) {
    Answered = true;
    PendingReply = reply.ToBytes();
    if (delayMs > 0) {
        QTimer::singleShot(delayMs, this, &Connection::WriteReply);
    } else {
        WriteReply();
    }
}

void Connection::SendCut(const Reply& reply) {
    Answered = true;
    const QByteArray whole = reply.ToBytes();
    PendingReply = whole.first(whole.size() - reply.Body.size() / 2 - reply.Body.size() % 2);
    WriteReply();
}

void Connection::WriteReply() {
    if (Socket->state() != QAbstractSocket::ConnectedState) {
        deleteLater();
        return;
    }
    Socket->write(PendingReply);
    Socket->disconnectFromHost(); // HTTP/1.0: the end of the body is the end of the connection
}

void Connection::CloseWithoutReply() {
    Answered = true;
    Socket->disconnectFromHost();
}

void Connection::Reset() {
    Answered = true;
    // Linger with a zero timeout makes the close a reset, as a crashed or overloaded server gives.
    const qintptr descriptor = Socket->socketDescriptor();
    if (descriptor >= 0) {
        const linger immediate{1, 0};
        ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
    }
    Socket->abort();
    deleteLater();
}

} // namespace KlabosSim
