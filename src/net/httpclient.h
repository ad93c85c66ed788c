#pragma once

#include "net/asyncsocket.h"
#include "net/httpurl.h"
#include "net/replyreader.h"

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

enum class THttpState : quint8 {
    Ready = 0,
    NotConnected = 1,
    Connected = 2,
    DnsLookup = 3,
    DnsLookupDone = 4,
    WaitingHeader = 5,
    WaitingBody = 6,
    Aborting = 7,
};

enum class THttpRequest : quint8 {
    Get = 1,
    Post = 2,
    Head = 3,
};

// The non-blocking HTTP/1.0 client: one TCP connection per request, directly or through a proxy. An operation starts
// a request and returns at once; lookup, connection, sending and the reply happen in handlers out of the event loop,
// and the signals below report them. The last word of every request is OnRequestDone, after State is Ready again.
class THttpClient : public QObject, private THttpReplyHandler {
    Q_OBJECT

public:
    explicit THttpClient(QObject* parent = nullptr);
    ~THttpClient() override;

    // Settings, read when a request starts.
    QString URL;
    QString Proxy; // host[:port], a scheme in front is ignored; empty: connect to the URL's host
    QString ProxyPort = QStringLiteral("80");
    QString ProxyUsername;
    QString ProxyPassword;
    QString Agent = QStringLiteral("Mozilla/3.0 (compatible)");
    QString Accept = QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    QString ContentTypePost = QStringLiteral("application/x-www-form-urlencoded");
    bool NoCache = false;
    QString Sender;
    QString Reference;
    QString Username;
    QString Password;
    QString Cookie;
    QString ContentRangeBegin; // cleared once sent
    QString ContentRangeEnd;   // cleared once sent
    QDateTime ModifiedSince;   // invalid: none
    QString AcceptRanges;      // from the last reply's Accept-Ranges line
    bool MultiThreaded = false;
    // The body of a POST, owned by the caller and read from its position at the start of the request.
    QPointer<QIODevice> PostBody;
    // A request that sees no progress for this long ends with the timed-out error.
    int IdleTimeoutMs = 60000;

    static constexpr int MaxRelocations = 20;
    static constexpr qsizetype SendChunkSize = 8193;

    // Where errors that used to escape the reader are shown once ("HTTP line too long"). The program installs its
    // general error report here; by default the text goes to the log.
    static std::function<void(const QString&)> ErrorReport;

    // Raise EHttpError: "HTTP component is busy" (1) when not Ready, "HTTP component has nothing to post" (2).
    void StartRequest(THttpRequest kind);
    void StartPost() { StartRequest(THttpRequest::Post); }
    void StartGet() { StartRequest(THttpRequest::Get); }
    void StartHead() { StartRequest(THttpRequest::Head); }
    // Safe in every state; when a request runs, it ends with error 3 and State is Ready on return.
    void AbortRequest();

    // Results of the current or last request.
    THttpState State() const { return CurrentState; }
    int StatusCode() const { return Status; }
    QString ReasonPhrase() const { return Reason; }
    qint64 ContentLength() const { return Reader.Header().ContentLength; }
    QString ContentType() const { return Reader.Header().ContentType; }
    QString Location() const { return CurrentLocation; }
    QStringList ReceivedHeader() const { return Reader.Header().ReceivedHeader; }
    QStringList WwwAuthenticate() const { return Reader.Header().WwwAuthenticate; }
    QString ContentRangeBeginReceived() const { return Reader.Header().ContentRangeBegin; }
    QString ContentRangeEndReceived() const { return Reader.Header().ContentRangeEnd; }
    qint64 ReceivedCount() const { return Received; }
    qint64 SentCount() const { return Sent; }
    QString DocumentName() const { return Document; }
    quint16 RequestDoneError() const { return DoneError; }

Q_SIGNALS:
    void OnStateChange();
    void OnSessionConnected();
    void OnRequestHeaderBegin();
    void OnRequestHeaderEnd();
    void OnCommand(const QByteArray& line);
    void OnSendBegin();
    void OnSendData(const char* data, int length);
    void OnSendEnd();
    void OnHeaderBegin();
    void OnHeaderData();
    void OnCookie(const QString& data, bool& accept);
    void OnHeaderEnd();
    void OnDocBegin();
    void OnDocData(const char* data, int length);
    void OnDocEnd();
    void OnLocationChange();
    void OnRequestDone(THttpRequest rqType, quint16 error);

private:
    void SetState(THttpState state);
    bool PrepareTarget(const QString& url);
    void BeginLookup();
    void LookupDone(quint16 error);
    void SocketConnected(quint16 error, const QString& description);
    void SendRequestHeader();
    void SendNextBodyChunk();
    void SocketDataSent();
    void SocketDataAvailable();
    void SocketClosed(quint16 error, const QString& description);
    void HandleClose();
    void HandleVerdict(THttpReplyReader::TVerdict verdict);
    void FollowRelocation();
    void Restart(quint64 serial);
    void IdleTimeout();
    void Fail(quint16 error, const QString& reason);
    void EndConnection();
    void SetReady(quint64 serial);
    void RestartIdleTimer();

    void ReplyHeaderBegin() override;
    void ReplyHeaderLine() override;
    void ReplyCookie(const QString& value) override;
    void ReplyHeaderEnd() override;
    void ReplyBody(const char* data, qsizetype length) override;

    TAsyncSocket Socket;
    THttpReplyReader Reader;
    QTimer IdleTimer;
    QByteArray ReadBuffer;
    QByteArray SendBuffer;

    THttpState CurrentState = THttpState::Ready;
    THttpRequest Kind = THttpRequest::Get;
    quint64 Serial = 0; // tells the notices of one request from those of the next
    int Status = 0;
    QString Reason;
    QString CurrentLocation;
    QString Document;
    qint64 Received = 0;
    qint64 Sent = 0;
    quint16 DoneError = 0;

    THttpUrl Target;
    bool ViaProxy = false;
    QString ConnectHost;
    QString ConnectPort;
    QList<QByteArray> HeaderLines;
    qint64 PostStart = 0;
    bool BodySent = false;
    int Relocations = 0;
    bool Ended = false;
    bool Reading = false;
    bool ClosePending = false;
    quint16 PendingCloseError = 0;
    QString PendingCloseDescription;
};

// Pumps the event loop until the client is Ready again. It sleeps while no event arrives, so waiting costs no CPU.
void WaitUntilReady(THttpClient& client);
