#include "net/requestheader.h"

#include "net/httpurl.h"

namespace {

QByteArray BasicCredentials(const QByteArray& user, const QByteArray& password) {
    return "Basic " + (user + ':' + password).toBase64();
}

} // namespace

QList<QByteArray> BuildRequestHeaderLines(const THttpRequestFields& fields) {
    QList<QByteArray> lines;
    lines.append(fields.Method + ' ' + fields.Target + " HTTP/1.0");
    if (!fields.Sender.isEmpty())
        lines.append("From: " + fields.Sender);
    if (!fields.Accept.isEmpty())
        lines.append("Accept: " + fields.Accept);
    if (!fields.Reference.isEmpty())
        lines.append("Referer: " + fields.Reference);
    if (fields.IsPost && !fields.ContentTypePost.isEmpty())
        lines.append("Content-Type: " + fields.ContentTypePost);
    if (!fields.Agent.isEmpty())
        lines.append("User-Agent: " + fields.Agent);
    lines.append("Host: " + fields.TargetHost);
    if (fields.NoCache)
        lines.append("Pragma: no-cache");
    if (fields.IsPost)
        lines.append("Content-Length: " + QByteArray::number(fields.ContentLength));
    if (fields.ModifiedSince.isValid())
        lines.append("If-Modified-Since: " + HttpDateText(fields.ModifiedSince) + " GMT");
    if (!fields.Username.isEmpty())
        lines.append("Authorization: " + BasicCredentials(fields.Username, fields.Password));
    if (fields.ViaProxy && !fields.ProxyUsername.isEmpty())
        lines.append("Proxy-Authorization: " + BasicCredentials(fields.ProxyUsername, fields.ProxyPassword));
    if (!fields.Cookie.isEmpty())
        lines.append("Cookie: " + fields.Cookie);
    if (!fields.RangeBegin.isEmpty() || !fields.RangeEnd.isEmpty())
        lines.append("Range: bytes=" + fields.RangeBegin + '-' + fields.RangeEnd);
    lines.append(QByteArray());
    return lines;
}

QByteArray HttpDateText(const QDateTime& dateTime) {
    static const char* const dayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    return QByteArray(dayNames[date.dayOfWeek() - 1]) + ", " + QByteArray::number(date.day()).rightJustified(2, '0') +
           ' ' + monthNames[date.month() - 1] + ' ' + QByteArray::number(date.year()).rightJustified(4, '0') + ' ' +
           time.toString(QStringLiteral("hh:mm:ss")).toLatin1();
}

bool HasUnsafeField(const THttpRequestFields& fields) {
    for (const QByteArray* value :
         {&fields.Method, &fields.Target, &fields.TargetHost, &fields.Sender, &fields.Accept, &fields.Reference,
          &fields.ContentTypePost, &fields.Agent, &fields.Cookie, &fields.RangeBegin, &fields.RangeEnd}) {
        if (HasLineBreakOrNul(*value))
            return true;
    }
    return false;
}
