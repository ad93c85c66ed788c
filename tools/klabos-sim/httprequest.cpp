#include "httprequest.h"

#include <algorithm>

namespace KlabosSim {

namespace {

// A header name is a word: no blank (a line starting with one would continue the previous header, which is not
// supported) and no control character, such as a stray carriage return.
bool IsHeaderName(const QByteArray& name) {
    return std::none_of(name.cbegin(), name.cend(), [](char byte) { return uchar(byte) <= ' ' || byte == 0x7F; });
}

} // namespace

QByteArray HttpRequest::Header(const QByteArray& name) const {
    for (const auto& header : Headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            return header.second;
        }
    }
    return QByteArray();
}

bool HttpRequest::HasHeader(const QByteArray& name) const {
    for (const auto& header : Headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

HttpRequestReader::TStatus HttpRequestReader::Fail(int code, const QByteArray& text) {
    FailureCode = code;
    FailureText = text;
    Buffer.clear();
    CurrentStatus = TStatus::Failed;
    return CurrentStatus;
}

HttpRequestReader::TStatus HttpRequestReader::Feed(const QByteArray& bytes) {
    if (CurrentStatus != TStatus::NeedMore) {
        return CurrentStatus; // whatever follows a whole request is ignored: one request per connection
    }
    Buffer.append(bytes);
    if (!HeaderDone) {
        qsizetype end = Buffer.indexOf("\r\n\r\n");
        qsizetype separatorSize = 4;
        const qsizetype bareEnd = Buffer.indexOf("\n\n");
        if (bareEnd >= 0 && (end < 0 || bareEnd < end)) {
            end = bareEnd;
            separatorSize = 2;
        }
        if (end < 0) {
            if (Buffer.size() > MaxHeaderBytes) {
                return Fail(431, "The request header is too large.");
            }
            return TStatus::NeedMore;
        }
        if (end > MaxHeaderBytes) {
            return Fail(431, "The request header is too large.");
        }
        const QByteArray header = Buffer.left(end);
        Buffer.remove(0, end + separatorSize);
        HeaderDone = true;
        if (ParseHeader(header) == TStatus::Failed) {
            return TStatus::Failed;
        }
    }
    if (Buffer.size() < BodyLength) {
        return TStatus::NeedMore;
    }
    Parsed.Body = Buffer.left(BodyLength);
    Buffer.clear();
    CurrentStatus = TStatus::Complete;
    return CurrentStatus;
}

HttpRequestReader::TStatus HttpRequestReader::ParseHeader(const QByteArray& header) {
    QList<QByteArray> lines = header.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    const QList<QByteArray> requestLine = lines.first().split(' ');
    if (requestLine.size() != 3 || requestLine.at(0).isEmpty() || requestLine.at(1).isEmpty()) {
        return Fail(400, "The request line is not \"METHOD target HTTP/1.x\".");
    }
    for (const char letter : requestLine.at(0)) {
        if (letter < 'A' || letter > 'Z') {
            return Fail(400, "The request method is not a word in capitals.");
        }
    }
    if (!requestLine.at(2).startsWith("HTTP/1.")) {
        return Fail(505, "Only HTTP/1.0 and HTTP/1.1 are spoken here.");
    }
    Parsed.Method = requestLine.at(0);
    Parsed.Target = requestLine.at(1);
    Parsed.Version = requestLine.at(2);

    for (qsizetype index = 1; index < lines.size(); ++index) {
        const QByteArray& line = lines.at(index);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !IsHeaderName(line.left(colon))) {
            return Fail(400, "A header line is not \"Name: value\".");
        }
        Parsed.Headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }

    if (Parsed.HasHeader("Transfer-Encoding")) {
        return Fail(501, "Transfer codings are not supported; send a Content-Length.");
    }
    BodyLength = 0;
    bool lengthSeen = false;
    for (const auto& headerField : Parsed.Headers) {
        if (headerField.first.compare("Content-Length", Qt::CaseInsensitive) != 0) {
            continue;
        }
        bool valid = false;
        const qlonglong length = headerField.second.toLongLong(&valid);
        if (!valid || length < 0 || headerField.second.startsWith('+')) {
            return Fail(400, "The Content-Length is not a number.");
        }
        if (lengthSeen && length != BodyLength) {
            return Fail(400, "The request has two different Content-Length lines.");
        }
        if (length > MaxBodyBytes) {
            return Fail(413, "The request body is too large.");
        }
        BodyLength = qsizetype(length);
        lengthSeen = true;
    }
    if (Parsed.Method == "POST" && !lengthSeen) {
        return Fail(411, "A POST needs a Content-Length.");
    }
    return ParseTarget();
}

HttpRequestReader::TStatus HttpRequestReader::ParseTarget() {
    QByteArray pathAndQuery;
    const QByteArray& target = Parsed.Target;
    if (target.startsWith('/')) {
        pathAndQuery = target;
    } else if (target.left(7).compare("http://", Qt::CaseInsensitive) == 0) {
        Parsed.AbsoluteTarget = true;
        const qsizetype slash = target.indexOf('/', 7);
        QByteArray authority = slash < 0 ? target.mid(7) : target.mid(7, slash - 7);
        pathAndQuery = slash < 0 ? QByteArray("/") : target.mid(slash);
        const qsizetype at = authority.lastIndexOf('@');
        if (at >= 0) {
            authority = authority.mid(at + 1);
        }
        const qsizetype colon = authority.lastIndexOf(':');
        Parsed.TargetHost = colon < 0 ? authority : authority.left(colon);
        if (Parsed.TargetHost.isEmpty()) {
            return Fail(400, "The absolute request target names no host.");
        }
    } else {
        return Fail(400, "The request target is neither a path nor an http:// address.");
    }
    const qsizetype question = pathAndQuery.indexOf('?');
    Parsed.Path = question < 0 ? pathAndQuery : pathAndQuery.left(question);
    Parsed.Query = question < 0 ? QByteArray() : pathAndQuery.mid(question + 1);
    return TStatus::NeedMore;
}

} // namespace KlabosSim
