#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

namespace KlabosSim {

// One HTTP request as received. The target may be a path ("/cgi-bin/...") or, when the sender uses us as its
// proxy, an absolute "http://host/path" URL.
struct HttpRequest {
    QByteArray Method;
    QByteArray Target;
    QByteArray Version;
    QList<QPair<QByteArray, QByteArray>> Headers; // names as sent, values without surrounding blanks
    QByteArray Body;

    // Derived from Target.
    bool AbsoluteTarget = false;
    QByteArray TargetHost; // of an absolute target, without user information and port
    QByteArray Path;       // without the query
    QByteArray Query;      // after the first "?", without it

    // The value of the first header of that name (compared without regard to case); empty when absent.
    QByteArray Header(const QByteArray& name) const;
    bool HasHeader(const QByteArray& name) const;
};

// Reads one request from the bytes of a connection as they arrive. Pure: the socket code only feeds it.
class HttpRequestReader {
public:
    enum class TStatus { NeedMore, Complete, Failed };

    static constexpr qsizetype MaxHeaderBytes = 16 * 1024;
    static constexpr qsizetype MaxBodyBytes = 1024 * 1024;

    TStatus Feed(const QByteArray& bytes);

    TStatus Status() const { return CurrentStatus; }
    const HttpRequest& Request() const { return Parsed; }
    // For a failed request: the status code and a short explanation to send back.
    int ErrorCode() const { return FailureCode; }
    const QByteArray& ErrorText() const { return FailureText; }

private:
    TStatus Fail(int code, const QByteArray& text);
    TStatus ParseHeader(const QByteArray& header);
    TStatus ParseTarget();

    QByteArray Buffer;
    bool HeaderDone = false;
    qsizetype BodyLength = 0;
    HttpRequest Parsed;
    TStatus CurrentStatus = TStatus::NeedMore;
    int FailureCode = 0;
    QByteArray FailureText;
};

} // namespace KlabosSim
