#include "scriptedserver.h"

#include <QTcpSocket>
#include <QTimer>
#include <sys/socket.h>

TScriptedServer::TScriptedServer(QObject* parent)
    : QObject(parent) {
    connect(&Server, &QTcpServer::newConnection, this, &TScriptedServer::Accept);
    if (!Server.listen(QHostAddress::LocalHost))
        qFatal("the test server cannot listen on 127.0.0.1");
}

QByteArray TScriptedServer::Url(const QByteArray& path) const {
    return "http://127.0.0.1:" + QByteArray::number(Port()) + path;
}

void TScriptedServer::ResetAll() {
    for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
        if (socket->state() == QAbstractSocket::ConnectedState)
            Reset(socket);
    }
}

void TScriptedServer::Reset(QTcpSocket* socket) {
    // A zero linger time makes the close send a reset instead of the orderly end.
    const linger immediate{1, 0};
    setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
    socket->abort();
}

void TScriptedServer::Accept() {
    while (QTcpSocket* socket = Server.nextPendingConnection()) {
        const int connection = int(Received.size());
        Received.append(QByteArray());
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, connection] { Read(socket, connection); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TScriptedServer::Read(QTcpSocket* socket, int connection) {
    QByteArray& request = Received[connection];
    request += socket->readAll();
    if (socket->property("replying").toBool())
        return;
    const qsizetype end = request.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    qint64 length = 0;
    for (const QByteArray& line : request.left(end).split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    if (request.size() < end + 4 + length)
        return;
    socket->setProperty("replying", true);
    WritePart(socket, connection, 0);
}

void TScriptedServer::WritePart(QTcpSocket* socket, int connection, int part) {
    if (Replies.isEmpty())
        return;
    const TReply& reply = Replies.at(qMin(connection, int(Replies.size()) - 1));
    if (part >= reply.Parts.size()) {
        if (reply.Reset)
            Reset(socket);
        else if (reply.Close)
            socket->disconnectFromHost();
        else if (reply.TrickleMs > 0)
            Trickle(socket, reply.TrickleMs);
        return;
    }
    socket->write(reply.Parts.at(part));
    socket->flush();
    QTimer::singleShot(part + 1 < reply.Parts.size() ? 15 : 5, socket,
                       [this, socket, connection, part] { WritePart(socket, connection, part + 1); });
}

void TScriptedServer::Trickle(QTcpSocket* socket, int intervalMs) {
    QTimer::singleShot(intervalMs, socket, [this, socket, intervalMs] {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        socket->write("x");
        Trickle(socket, intervalMs);
    });
}
