#pragma once

#include "net/namelookup.h"
#include <QByteArray>
#include <QByteArrayView>

#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

// The asynchronous socket beneath the HTTP client: name lookup, non-blocking connect, buffered send, receive and
// close. Every notice arrives on the thread that owns the socket (the GUI thread), out of its event loop, never from
// inside a call of the owner. Errors are given as socket error numbers of the 10000 range (see neterror.h) with a short
// description.
//
// Nothing is read until the owner asks: what the owner does not take stays with the kernel, whose window holds the
// sender back, so no handler that blocks or pumps events can make the process hold more. The socket is a plain
// descriptor rather than a QTcpSocket because the latter reports a reset connection as an orderly close.
class TAsyncSocket : public QObject {
    Q_OBJECT

public:
    explicit TAsyncSocket(QObject* parent = nullptr);
    ~TAsyncSocket() override;

    // A numeric address completes at once, before this returns; any other name is resolved by the name service
    // beside the event loop (see TNameResolver), its answer arriving through the event loop.
    void StartLookup(const QString& host);
    void CancelLookup();
    bool LookupRunning() const { return LookupActive; }
    // The addresses found, in the order they are to be tried.
    QList<TSocketAddress> LookupResult() const { return Addresses; }

    // Connects to the first of the addresses that takes the connection, trying them in turn: one that refuses,
    // cannot be reached or fails otherwise gives way to the next, and so does one still silent after attemptMs
    // while others are left (0: no limit of its own; the last address has none, its caller's timeout ends it).
    // OnConnected follows, with 0 or the error of the last address tried.
    void Connect(const QList<TSocketAddress>& addresses, quint16 port, int attemptMs = 0);
    // Queues the bytes and writes what the kernel takes; OnDataSent follows once everything queued is written.
    void Send(QByteArrayView data);
    // Reads what has arrived, at most maxLength bytes. Returns the count; 0 when nothing is there yet (OnDataAvailable
    // follows when more comes); -1 once the connection has ended, EndError telling how (0: the peer closed it).
    qint64 Receive(char* buffer, qint64 maxLength);
    quint16 EndError() const { return FinalError; }
    QString EndDescription() const { return FinalDescription; }
    bool IsOpen() const { return Descriptor >= 0; }
    // Drops the connection at once, unsent and unread data included. No notice of it follows.
    void Close();

    static quint16 ErrorNumber(int systemError);

Q_SIGNALS:
    void OnLookupDone(quint16 error);
    void OnConnected(quint16 error, const QString& description);
    // Something can be read, or the end can be learnt, through Receive. Fires once until a Receive finds nothing.
    void OnDataAvailable();
    void OnDataSent();

private:
    void HostFound(const QList<TSocketAddress>& addresses, quint16 error);
    void TryNextAddress();
    // 0 when the connection opened or is opening; the system's error when it failed at once.
    int OpenConnection(TSocketAddress address);
    void AttemptFailed(int systemError);
    void Readable();
    void Writable();
    void FinishConnect();
    bool Flush();
    void End(int systemError);
    void CloseDescriptor();
    // Emits the notice from the event loop, unless the connection changed meanwhile.
    void Post(void (TAsyncSocket::*notice)());
    void PostConnected(int systemError);

    int Descriptor = -1;
    QSocketNotifier ReadNotifier{QSocketNotifier::Read};
    QSocketNotifier WriteNotifier{QSocketNotifier::Write};
    QList<TSocketAddress> Addresses;
    bool LookupActive = false;
    quint64 LookupTicket = 0;
    QList<TSocketAddress> Untried; // the addresses the connect goes on to when the one it tries fails
    quint16 ConnectPort = 0;
    int AttemptMs = 0;
    int LastConnectError = 0;
    QTimer AttemptTimer;
    bool Connecting = false;
    bool Ended = false;
    int SendError = 0; // a write failed: nothing more goes out, and the end reports it
    quint16 FinalError = 0;
    QString FinalDescription;
    QByteArray Outgoing;
    qsizetype OutgoingSent = 0;
    quint64 ConnectionSerial = 0; // changes with every Connect and Close
};
