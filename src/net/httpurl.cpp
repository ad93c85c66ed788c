#include "net/httpurl.h"

THttpUrl ParseHttpUrl(const QString& url) {
    THttpUrl parts;
    QString rest;
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) {
        parts.Scheme = url.left(schemeEnd).toLower();
        rest = url.mid(schemeEnd + 3);
    } else if (url.startsWith(QLatin1Char('/'))) {
        parts.Scheme = QStringLiteral("http");
        parts.Path = url;
        return parts;
    } else if (url.startsWith(QLatin1String("http:"), Qt::CaseInsensitive)) {
        parts.Scheme = QStringLiteral("http");
        rest = url.mid(5);
    } else if (url.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) {
        parts.Scheme = QStringLiteral("mailto");
        rest = url.mid(7);
    } else {
        rest = url;
    }

    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QString authority = slash < 0 ? rest : rest.left(slash);
    if (slash >= 0)
        parts.Path = rest.mid(slash);

    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        parts.User = colon < 0 ? userInfo : userInfo.left(colon);
        if (colon >= 0)
            parts.Password = userInfo.mid(colon + 1);
    }

    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        if (close > 0) {
            parts.Host = authority.mid(1, close - 1);
            if (authority.mid(close + 1).startsWith(QLatin1Char(':')))
                parts.Port = authority.mid(close + 2);
            return parts;
        }
    }
    const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
    parts.Host = colon < 0 ? authority : authority.left(colon);
    if (colon >= 0)
        parts.Port = authority.mid(colon + 1);
    return parts;
}

QString DocumentNameFromPath(const QString& path) {
    QString name = path;
    const qsizetype query = name.indexOf(QLatin1Char('?'));
    if (query >= 0)
        name.truncate(query);
    while (name.endsWith(QLatin1Char('/')))
        name.chop(1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    return name.isEmpty() ? QStringLiteral("document.htm") : name;
}

bool HasLineBreakOrNul(QByteArrayView bytes) {
    for (const char byte : bytes) {
        if (byte == '\r' || byte == '\n' || byte == '\0')
            return true;
    }
    return false;
}
