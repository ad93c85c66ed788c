#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

// Everything one request header is built from, already in wire bytes.
struct THttpRequestFields {
    QByteArray Method;
    QByteArray Target;
    QByteArray TargetHost;
    QByteArray Sender;
    QByteArray Accept;
    QByteArray Reference;
    QByteArray ContentTypePost;
    QByteArray Agent;
    bool NoCache = false;
    bool IsPost = false;
    qint64 ContentLength = 0;
    QDateTime ModifiedSince; // invalid: no If-Modified-Since line
    QByteArray Username;
    QByteArray Password;
    bool ViaProxy = false;
    QByteArray ProxyUsername;
    QByteArray ProxyPassword;
    QByteArray Cookie;
    QByteArray RangeBegin;
    QByteArray RangeEnd;
};

// The lines of the request header in their fixed order, without line ends; the last one is the empty line.
QList<QByteArray> BuildRequestHeaderLines(const THttpRequestFields& fields);

// "Mon, 05 Jan 2026 10:00:00", the date and time exactly as held, without any time-zone conversion.
QByteArray HttpDateText(const QDateTime& dateTime);

// True when any value that goes into a header line holds CR, LF or NUL.
bool HasUnsafeField(const THttpRequestFields& fields);
