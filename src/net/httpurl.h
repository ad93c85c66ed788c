#pragma once

#include <QByteArrayView>
#include <QString>

// The parts of a request URL or of a proxy setting. Every part keeps the text as written; an absent part is empty.
struct THttpUrl {
    QString Scheme;
    QString User;
    QString Password;
    QString Host;
    QString Port;
    QString Path;
};

// Splits a URL the way the client reads its URL, Proxy and relocation targets: a scheme ends at the first "://";
// without one, "/..." is a bare path, "http:" and "mailto:" name their scheme and anything else starts with the host.
// The path runs from the first "/" to the end; in the authority before it the last "@" ends the user information
// and the last ":" after that starts the port. "[...]" keeps an IPv6 address whole.
THttpUrl ParseHttpUrl(const QString& url);

// The last segment of a path, without a "?" query and a trailing "/"; "document.htm" for an empty path or "/".
QString DocumentNameFromPath(const QString& path);

// True when the bytes hold a CR, LF or NUL: such a value would end or forge a line of the request header.
bool HasLineBreakOrNul(QByteArrayView bytes);
