#pragma once

#include <QByteArrayView>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QTcpSocket>

// The asynchronous socket beneath the HTTP client: name lookup, non-blocking connect, buffered send, receive and
// close. Every notice arrives on the thread that owns the socket (the GUI thread), out of its event loop. Errors are
// given as Windows Sockets numbers (see neterror.h) with a short description.
class TAsyncSocket : public QObject {
    Q_OBJECT

public:
    explicit TAsyncSocket(QObject* parent = nullptr);
    ~TAsyncSocket() override;

    // A numeric address completes at once, before this returns; any other name is resolved in the background.
    void StartLookup(const QString& host);
    void CancelLookup();
    bool LookupRunning() const { return LookupId >= 0; }
    QHostAddress LookupResult() const { return Address; }

    void Connect(const QHostAddress& address, quint16 port);
    void Send(QByteArrayView data);
    qint64 Receive(char* buffer, qint64 maxLength);
    bool IsOpen() const;
    // Drops the connection at once, unsent and unread data included. No OnClosed follows: whoever closes knows.
    void Close();

    static quint16 ErrorNumber(QAbstractSocket::SocketError error, const QString& description);

Q_SIGNALS:
    void OnLookupDone(quint16 error);
    void OnConnected(quint16 error, const QString& description);
    void OnDataAvailable();
    void OnDataSent();
    // The peer closed the connection or it broke. Every unread byte has been offered through OnDataAvailable first.
    void OnClosed(quint16 error, const QString& description);

private:
    void HostFound(const QHostInfo& info);
    void SocketConnected();
    void SocketReadyRead();
    void SocketBytesWritten();
    void SocketDisconnected();
    void SocketError(QAbstractSocket::SocketError error);
    void DrainUnread();

    QTcpSocket Socket;
    QHostAddress Address;
    int LookupId = -1;
    bool Connecting = false;
    bool Closing = false;
    quint64 ConnectionSerial = 0; // changes with every Connect and Close
    quint16 BrokenError = 0;
    QString BrokenDescription;
};
