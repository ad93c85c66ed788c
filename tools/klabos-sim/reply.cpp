#include "reply.h"

#include "text/codepage.h"

namespace KlabosSim {

QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 407:
        return "Proxy Authentication Required";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return status < 400 ? "OK" : "Error";
    }
}

QString HtmlEscaped(const QString& text) {
    return text.toHtmlEscaped();
}

QByteArray Reply::ToBytes() const {
    QByteArray bytes = "HTTP/1.0 " + QByteArray::number(Status) + ' ' + ReasonPhrase(Status) + "\r\n";
    bytes += "Server: klabos-sim\r\n";
    bytes += "Content-Type: " + ContentType + "\r\n";
    bytes += "Content-Length: " + QByteArray::number(Body.size()) + "\r\n";
    for (const auto& header : Headers) {
        bytes += header.first + ": " + header.second + "\r\n";
    }
    bytes += "Connection: close\r\n\r\n";
    bytes += Body;
    return bytes;
}

Reply Reply::Text(const QString& text) {
    Reply reply;
    reply.ContentType = "text/plain; charset=windows-1250";
    reply.Body = ToCp1250(text);
    return reply;
}

Reply Reply::Html(const QString& title, const QString& bodyHtml) {
    Reply reply;
    reply.Body =
        ToCp1250(QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                "charset=windows-1250\"><title>%1</title></head>\n<body>\n%2\n</body></html>\n")
                     .arg(HtmlEscaped(title), bodyHtml));
    return reply;
}

Reply Reply::ErrorPage(const QString& explanation) {
    // Long enough (over 300 characters) that the program's message retrieval drops it instead of reading it as a
    // message; the title carries the marker the program looks for.
    return Html(QStringLiteral("Klabos - ERROR"),
                QStringLiteral("<h1>Chyba</h1>\n<p>%1</p>\n<p>Požadavek nebyl proveden. Přihlaste se prosím znovu "
                               "na úvodní stránce Klabosu. Pokud potíže trvají, zkuste to za chvíli znovu; server "
                               "mohl být právě restartován a vaše přihlášení tím skončilo.</p>")
                    .arg(HtmlEscaped(explanation)));
}

Reply Reply::HttpError(int status, const QString& explanation) {
    Reply reply =
        Html(QString::number(status) + u' ' + QString::fromLatin1(ReasonPhrase(status)),
             QStringLiteral("<h1>%1 %2</h1>\n<p>%3</p>")
                 .arg(QString::number(status), QString::fromLatin1(ReasonPhrase(status)), HtmlEscaped(explanation)));
    reply.Status = status;
    return reply;
}

Reply Reply::Json(const QByteArray& json, int status) {
    Reply reply;
    reply.Status = status;
    reply.ContentType = "application/json";
    reply.Body = json;
    return reply;
}

} // namespace KlabosSim
