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
//
// OnDocEnd means that a whole document arrived: the server ended the connection in order after at least one body
// chunk. A request that fails or is aborted ends without it, with OnRequestDone and its error only.
//
// Any handler may start or abort another request; AbortRequest leaves the client Ready on return, so the next
// request can start at once. After every event it fires, the client goes on only if the request that fired it is
// still the current one; a handler that pumps the event loop (the program never does) lets the rest of the reply
// follow from inside it, in order.
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
    // A request still running this long after its start ends with the timed-out error, however steadily the
    // server trickles; 0 means no limit.
    int RequestDeadlineMs = 5 * 60 * 1000;

    static constexpr int MaxRelocations = 20;
    static constexpr qsizetype SendChunkSize = 8193;
    // The most read from the socket at a time; nothing more is read until the reader has handed it on.
    static constexpr qsizetype ReadChunkSize = 64 * 1024;

    // Where the client tells of a fault it ended a request for on its own ("HTTP line too long"); by default the
    // text goes to the log. The request itself ends with the fault's error number in OnRequestDone, which is where
    // a caller tells the user, so the program installs nothing here. It is called from the event loop, never from
    // inside the client's own handlers, so a report that opens a modal box holds up nothing.
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
    // One event of the reply, taken from the queue before it fires, so that a handler which pumps the event loop
    // lets the rest of the reply follow in order, and one that starts another request drops it.
    struct TReplyEvent {
        enum class TKind { HeaderBegin, HeaderLine, Cookie, BodyState, HeaderEnd, DocBegin, Body, Verdict };
        explicit TReplyEvent(TKind kind)
            : Kind(kind) {}
        TKind Kind;
        QByteArray Data; // Body: the chunk
        int Status = 0;  // HeaderLine: the status so far
        QString Text;    // HeaderLine: the reason phrase; Cookie: the value
        THttpReplyReader::TVerdict Verdict = THttpReplyReader::TVerdict::Continue;
    };

    // True while the request that had this serial is the client's current one and still running.
    bool Same(quint64 serial) const { return serial == Serial && !Ended; }
    void SetState(THttpState state);
    bool PrepareTarget(const QString& url);
    void BeginLookup();
    void LookupDone(quint16 error);
    void SocketConnected(quint16 error, const QString& description);
    void SendRequestHeader(quint64 serial);
    void SendNextBodyChunk();
    void SocketDataSent();
    void SocketDataAvailable();
    void Deliver(quint64 serial);
    void QueueContinue(quint64 serial);
    void Fire(const TReplyEvent& event, quint64 serial);
    void InputEnded();
    void HandleVerdict(THttpReplyReader::TVerdict verdict);
    void FollowRelocation();
    void Restart(quint64 serial);
    void IdleTimeout();
    void DeadlinePassed();
    void Fail(quint16 error, const QString& reason);
    void EndConnection(bool wholeDocument);
    void SetReady(quint64 serial);
    void RestartIdleTimer();
    void QueueReport(const QString& text);

    void ReplyHeaderBegin() override;
    void ReplyHeaderLine() override;
    void ReplyCookie(const QString& value) override;
    void ReplyHeaderEnd() override;
    void ReplyBody(const char* data, qsizetype length) override;

    TAsyncSocket Socket;
    THttpReplyReader Reader;
    QTimer IdleTimer;
    QTimer DeadlineTimer;
    QByteArray ReadBuffer; // one read from the socket; the reader copies what it hands on
    QList<TReplyEvent> Arrived;

    THttpState CurrentState = THttpState::Ready;
    THttpRequest Kind = THttpRequest::Get;
    quint64 Serial = 0; // tells the notices and events of one request from those of the next
    int Status = 0;
    QString Reason;
    QString CurrentLocation;
    QString Document;
    qint64 Received = 0;
    qint64 Sent = 0;
    qint64 DocChunks = 0;
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
    bool Relocating = false;
    bool ContinueQueued = false;
    bool EndOfInput = false; // the socket has said all it will; the events still queued go first
};
