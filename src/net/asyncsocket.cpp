#include "net/asyncsocket.h"

#include "net/neterror.h"

#include <QHostInfo>

TAsyncSocket::TAsyncSocket(QObject* parent)
    : QObject(parent) {
    connect(&Socket, &QTcpSocket::connected, this, &TAsyncSocket::SocketConnected);
    connect(&Socket, &QTcpSocket::readyRead, this, &TAsyncSocket::SocketReadyRead);
    connect(&Socket, &QTcpSocket::bytesWritten, this, &TAsyncSocket::SocketBytesWritten);
    connect(&Socket, &QTcpSocket::disconnected, this, &TAsyncSocket::SocketDisconnected);
    connect(&Socket, &QTcpSocket::errorOccurred, this, &TAsyncSocket::SocketError);
}

TAsyncSocket::~TAsyncSocket() {
    CancelLookup();
    Closing = true;
    Socket.abort();
}

void TAsyncSocket::StartLookup(const QString& host) {
    CancelLookup();
    Address.clear();
    if (Address.setAddress(host)) {
        Q_EMIT OnLookupDone(NetError::None);
        return;
    }
    LookupId = QHostInfo::lookupHost(host, this, &TAsyncSocket::HostFound);
}

void TAsyncSocket::CancelLookup() {
    if (LookupId < 0)
        return;
    QHostInfo::abortHostLookup(LookupId);
    LookupId = -1;
}

void TAsyncSocket::HostFound(const QHostInfo& info) {
    if (info.lookupId() != LookupId)
        return;
    LookupId = -1;
    const QList<QHostAddress> addresses = info.addresses();
    if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
        Q_EMIT OnLookupDone(NetError::HostNotFound);
        return;
    }
    // Servers on this machine often listen on IPv4 only, while the resolver may name ::1 first.
    Address = addresses.first();
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            Address = address;
            break;
        }
    }
    Q_EMIT OnLookupDone(NetError::None);
}

void TAsyncSocket::Connect(const QHostAddress& address, quint16 port) {
    Close();
    ++ConnectionSerial;
    BrokenError = 0;
    BrokenDescription.clear();
    Connecting = true;
    Socket.connectToHost(address, port);
}

void TAsyncSocket::Send(QByteArrayView data) {
    Socket.write(data.data(), data.size());
}

qint64 TAsyncSocket::Receive(char* buffer, qint64 maxLength) {
    return Socket.read(buffer, maxLength);
}

bool TAsyncSocket::IsOpen() const {
    return Socket.state() != QAbstractSocket::UnconnectedState;
}

void TAsyncSocket::Close() {
    Connecting = false;
    ++ConnectionSerial;
    Closing = true;
    Socket.abort();
    Closing = false;
}

quint16 TAsyncSocket::ErrorNumber(QAbstractSocket::SocketError error, const QString& description) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return NetError::Refused;
    case QAbstractSocket::RemoteHostClosedError:
        return NetError::ConnectionReset;
    case QAbstractSocket::HostNotFoundError:
        return NetError::HostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return NetError::TimedOut;
    case QAbstractSocket::NetworkError:
        // Qt folds both unreachable cases into one error; only its description tells them apart.
        return description.contains(QLatin1String("host unreachable"), Qt::CaseInsensitive)
                   ? NetError::HostUnreachable
                   : NetError::NetworkUnreachable;
    default:
        return NetError::OtherFailure;
    }
}

void TAsyncSocket::SocketConnected() {
    if (Closing || !Connecting)
        return;
    Connecting = false;
    Q_EMIT OnConnected(NetError::None, QString());
}

void TAsyncSocket::SocketReadyRead() {
    if (!Closing && !Connecting)
        Q_EMIT OnDataAvailable();
}

void TAsyncSocket::SocketBytesWritten() {
    if (!Closing && Socket.bytesToWrite() == 0)
        Q_EMIT OnDataSent();
}

void TAsyncSocket::SocketError(QAbstractSocket::SocketError error) {
    if (Closing)
        return;
    const QString description = Socket.errorString();
    if (Connecting) {
        Connecting = false;
        Q_EMIT OnConnected(ErrorNumber(error, description), description);
        return;
    }
    // The peer closing its end is the normal end of a reply; anything else breaks it.
    if (error != QAbstractSocket::RemoteHostClosedError) {
        BrokenError = ErrorNumber(error, description);
        BrokenDescription = description;
    }
}

void TAsyncSocket::SocketDisconnected() {
    if (Closing)
        return;
    const quint64 serial = ConnectionSerial;
    DrainUnread();
    if (serial != ConnectionSerial)
        return; // a reader closed it or opened the next connection meanwhile; that one is not closed
    const quint16 error = BrokenError;
    const QString description = BrokenDescription;
    BrokenError = 0;
    BrokenDescription.clear();
    Q_EMIT OnClosed(error, description);
}

void TAsyncSocket::DrainUnread() {
    qint64 unread = Socket.bytesAvailable();
    while (unread > 0) {
        Q_EMIT OnDataAvailable();
        const qint64 left = Socket.bytesAvailable();
        if (left >= unread)
            break; // nobody is reading any more
        unread = left;
    }
}
