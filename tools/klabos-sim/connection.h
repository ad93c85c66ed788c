#pragma once

#include "httprequest.h"
#include "reply.h"

#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace KlabosSim {

// One client connection: reads one request, then sends one reply (or drops the connection) and closes. Deletes
// itself when the socket is gone.
class Connection : public QObject {
    Q_OBJECT

public:
    // A request that has not arrived whole by then is answered with 408.
    static constexpr int RequestTimeoutMs = 30000;

    Connection(QTcpSocket* socket, QObject* parent);

    const HttpRequestReader& Reader() const { return RequestReader; }

    // Sends the reply after the delay and closes the connection once it has gone out.
    void Send(const Reply& reply, int delayMs);
    // Sends the header and the first half of the body, then closes in order: a reply cut short on its way.
    void SendCut(const Reply& reply);
    // Closes without a reply: an orderly close, or a reset the client sees as a connection reset.
    void CloseWithoutReply();
    void Reset();

Q_SIGNALS:
    // The reader has a whole request, or has given up on it (its status says which).
    void RequestRead(KlabosSim::Connection* connection);

private:
    void ReadAvailable();
    void TimedOut();
    void WriteReply();

    QTcpSocket* Socket;
    HttpRequestReader RequestReader;
    QTimer Timeout;
    QByteArray PendingReply;
    bool Answered = false;
};

} // namespace KlabosSim
