#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace KlabosSim {

// One HTTP/1.0 reply; the connection closes after its body.
struct Reply {
    int Status = 200;
    QByteArray ContentType = "text/html; charset=windows-1250";
    QList<QPair<QByteArray, QByteArray>> Headers;
    QByteArray Body;

    void AddHeader(const QByteArray& name, const QByteArray& value) { Headers.append(qMakePair(name, value)); }
    QByteArray ToBytes() const;

    static Reply Text(const QString& text); // the body in Windows-1250, as the service sends its answers
    static Reply Html(const QString& title, const QString& bodyHtml);
    static Reply ErrorPage(const QString& explanation); // a service error: a page with ERROR in its title, status 200
    static Reply HttpError(int status, const QString& explanation);
    static Reply Json(const QByteArray& json, int status = 200);
};

QByteArray ReasonPhrase(int status);
QString HtmlEscaped(const QString& text);

} // namespace KlabosSim
