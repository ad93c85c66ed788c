#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// Sends raw bytes to 127.0.0.1:port and collects everything until the server closes the connection, running the
// event loop meanwhile so an in-process stand-in can answer.
struct SimExchange {
    QByteArray Raw; // everything received
    bool Closed = false;

    int Status() const;
    QByteArray Header(const QByteArray& name) const;
    QByteArray Body() const;

    static SimExchange Send(quint16 port, const QByteArray& request);
    // A form-encoded POST to the given target (a path, or an absolute URL for proxy use).
    static SimExchange Post(quint16 port, const QByteArray& target, const QByteArray& body,
                            const QList<QPair<QByteArray, QByteArray>>& headers = {});
    static SimExchange Get(quint16 port, const QByteArray& target);
};
