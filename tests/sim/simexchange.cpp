#include "simexchange.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

int SimExchange::Status() const {
    const qsizetype end = Raw.indexOf("\r\n");
    const QList<QByteArray> parts = Raw.left(end).split(' ');
    return parts.size() >= 2 ? parts.at(1).toInt() : 0;
}

QByteArray SimExchange::Header(const QByteArray& name) const {
    const QByteArray head = Raw.left(Raw.indexOf("\r\n\r\n"));
    for (const QByteArray& line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            return line.mid(colon + 1).trimmed();
        }
    }
    return QByteArray();
}

QByteArray SimExchange::Body() const {
    const qsizetype end = Raw.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : Raw.mid(end + 4);
}

SimExchange SimExchange::Send(quint16 port, const QByteArray& request) {
    SimExchange exchange;
    QTcpSocket socket;
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] { exchange.Raw += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::connected, &loop, [&] { socket.write(request); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, [&] {
        exchange.Closed = true;
        loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError) {
        exchange.Closed = true;
        loop.quit();
    });
    socket.connectToHost(QHostAddress::LocalHost, port);
    guard.start(20000);
    loop.exec();
    exchange.Raw += socket.readAll();
    return exchange;
}

SimExchange SimExchange::Post(quint16 port, const QByteArray& target, const QByteArray& body,
                              const QList<QPair<QByteArray, QByteArray>>& headers) {
    QByteArray request = "POST " + target + " HTTP/1.0\r\n";
    request += "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n";
    request += "Content-Type: application/x-www-form-urlencoded\r\n";
    request += "User-Agent: Mozilla/3.0 (compatible)\r\n";
    request += "Host: chat.klabos.cz\r\n";
    request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto& header : headers) {
        request += header.first + ": " + header.second + "\r\n";
    }
    request += "\r\n" + body;
    return Send(port, request);
}

SimExchange SimExchange::Get(quint16 port, const QByteArray& target) {
    return Send(port, "GET " + target + " HTTP/1.0\r\nHost: chat.klabos.cz\r\n\r\n");
}
