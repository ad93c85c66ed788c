#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

namespace KlabosSim {

// What a client sent, and what it got back, for tests and the control interface to read.
struct RecordedRequest {
    QByteArray Method;
    QByteArray Target; // as sent: a path, or an absolute URL when we served as the proxy
    QByteArray Path;
    QByteArray Query;
    QList<QPair<QByteArray, QByteArray>> Headers;
    QByteArray Body;                       // raw, as sent
    QList<QPair<QString, QString>> Fields; // the body's form fields, decoded where they decode
    bool ViaProxy = false;
    int Status = 0;        // of our reply; 0 when the connection was dropped without one
    QByteArray ReplyBody;  // raw
    QByteArray Note;       // why the request was refused, or how it was dropped
    qint64 ReceivedAt = 0; // when the whole request was read, in milliseconds since the epoch

    QByteArray Header(const QByteArray& name) const;
    // The decoded value of the first form field of that name.
    QString Field(const QString& name) const;
    QJsonObject ToJson() const;
};

} // namespace KlabosSim
