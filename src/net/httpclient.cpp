#include "net/httpclient.h"

#include "net/httperror.h"
#include "net/neterror.h"
#include "net/requestheader.h"
#include "text/codepage.h"

#include <QCoreApplication>
#include <QUrl>

std::function<void(const QString&)> THttpClient::ErrorReport = [](const QString& text) {
    qWarning("%s", qUtf8Printable(text));
};

namespace {

// Every byte exchanged with the service is Windows-1250; a character the code page lacks goes out as "?".
QByteArray Wire(const QString& text) {
    return ToCp1250(text);
}

QString SchemeOrHttp(const THttpUrl& url) {
    return url.Scheme.isEmpty() ? QStringLiteral("http") : url.Scheme;
}

// scheme://host[:port]/path, the form a proxy is asked for and relocations are resolved against.
QString AbsoluteUrl(const THttpUrl& url) {
    QString absolute = SchemeOrHttp(url) + QLatin1String("://") + url.Host;
    if (!url.Port.isEmpty())
        absolute += QLatin1Char(':') + url.Port;
    return absolute + (url.Path.isEmpty() ? QStringLiteral("/") : url.Path);
}

QString EffectivePort(const THttpUrl& url) {
    return url.Port.isEmpty() ? QStringLiteral("80") : QString::number(url.Port.toUInt());
}

bool SameServer(const THttpUrl& a, const THttpUrl& b) {
    return SchemeOrHttp(a) == SchemeOrHttp(b) && a.Host.compare(b.Host, Qt::CaseInsensitive) == 0 &&
           EffectivePort(a) == EffectivePort(b);
}

QByteArray MethodName(THttpRequest kind) {
    switch (kind) {
    case THttpRequest::Post:
        return "POST";
    case THttpRequest::Head:
        return "HEAD";
    case THttpRequest::Get:
        break;
    }
    return "GET";
}

QString WithErrorNumber(const QString& description, quint16 error) {
    return description + QLatin1String(" (Error #") + QString::number(error) + QLatin1Char(')');
}

} // namespace

THttpClient::THttpClient(QObject* parent)
    : QObject(parent)
    , Reader(*this)
    , ReadBuffer(64 * 1024, Qt::Uninitialized)
    , SendBuffer(SendChunkSize, Qt::Uninitialized) {
    IdleTimer.setSingleShot(true);
    connect(&IdleTimer, &QTimer::timeout, this, &THttpClient::IdleTimeout);
    connect(&Socket, &TAsyncSocket::OnLookupDone, this, &THttpClient::LookupDone);
    connect(&Socket, &TAsyncSocket::OnConnected, this, &THttpClient::SocketConnected);
    connect(&Socket, &TAsyncSocket::OnDataAvailable, this, &THttpClient::SocketDataAvailable);
    connect(&Socket, &TAsyncSocket::OnDataSent, this, &THttpClient::SocketDataSent);
    connect(&Socket, &TAsyncSocket::OnClosed, this, &THttpClient::SocketClosed);
}

THttpClient::~THttpClient() = default;

void THttpClient::StartRequest(THttpRequest kind) {
    if (CurrentState != THttpState::Ready)
        throw EHttpError(QStringLiteral("HTTP component is busy"), 1);
    if (kind == THttpRequest::Post && !PostBody)
        throw EHttpError(QStringLiteral("HTTP component has nothing to post"), 2);

    Socket.Close();
    Reader.Reset();
    Kind = kind;
    DoneError = NetError::None;
    ++Serial;
    Ended = false;
    ClosePending = false;
    BodySent = true; // until a POST begins its body
    Relocations = 0;
    Status = 0;
    Reason.clear();
    Received = 0;
    Sent = 0;
    CurrentLocation = URL;
    PostStart = PostBody ? PostBody->pos() : 0;
    SetState(THttpState::NotConnected);
    if (CurrentState != THttpState::NotConnected)
        return;
    if (PrepareTarget(URL))
        BeginLookup();
}

bool THttpClient::PrepareTarget(const QString& url) {
    Target = ParseHttpUrl(url);
    if (!Target.User.isEmpty()) {
        Username = Target.User;
        Password = Target.Password;
    }
    ViaProxy = !Proxy.isEmpty();
    QString requestTarget;
    if (ViaProxy) {
        const THttpUrl proxy = ParseHttpUrl(Proxy);
        ConnectHost = proxy.Host;
        ConnectPort = proxy.Port.isEmpty() ? ProxyPort : proxy.Port;
        requestTarget = AbsoluteUrl(Target);
    } else {
        ConnectHost = Target.Host;
        ConnectPort = Target.Port.isEmpty() ? QStringLiteral("80") : Target.Port;
        requestTarget = Target.Path.isEmpty() ? QStringLiteral("/") : Target.Path;
    }
    Document = DocumentNameFromPath(Target.Path);

    THttpRequestFields fields;
    fields.Method = MethodName(Kind);
    fields.Target = Wire(requestTarget);
    fields.TargetHost = Wire(Target.Host);
    fields.Sender = Wire(Sender);
    fields.Accept = Wire(Accept);
    fields.Reference = Wire(Reference);
    fields.ContentTypePost = Wire(ContentTypePost);
    fields.Agent = Wire(Agent);
    fields.NoCache = NoCache;
    fields.IsPost = Kind == THttpRequest::Post;
    fields.ContentLength = PostBody ? qMax<qint64>(0, PostBody->size() - PostStart) : 0;
    fields.ModifiedSince = ModifiedSince;
    fields.Username = Wire(Username);
    fields.Password = Wire(Password);
    fields.ViaProxy = ViaProxy;
    fields.ProxyUsername = Wire(ProxyUsername);
    fields.ProxyPassword = Wire(ProxyPassword);
    fields.Cookie = Wire(Cookie);
    fields.RangeBegin = Wire(ContentRangeBegin);
    fields.RangeEnd = Wire(ContentRangeEnd);

    // A line break smuggled in through a URL or a setting would let the value forge header lines of its own.
    if (HasUnsafeField(fields) || HasLineBreakOrNul(Wire(ConnectHost)) || HasLineBreakOrNul(Wire(ConnectPort))) {
        Fail(NetError::UnsafeRequest,
             QStringLiteral("request refused: the URL, the proxy or a header value holds a line break or NUL"));
        return false;
    }
    HeaderLines = BuildRequestHeaderLines(fields);
    return true;
}

void THttpClient::BeginLookup() {
    SetState(THttpState::DnsLookup);
    if (CurrentState != THttpState::DnsLookup)
        return;
    RestartIdleTimer();
    if (ConnectHost.isEmpty()) {
        Fail(NetError::HostNotFound, QStringLiteral("DNS lookup: invalid host name."));
        return;
    }
    Socket.StartLookup(ConnectHost);
}

void THttpClient::LookupDone(quint16 error) {
    if (CurrentState != THttpState::DnsLookup || Ended)
        return;
    if (error != NetError::None) {
        Fail(error, QStringLiteral("can't resolve hostname to IP address"));
        return;
    }
    SetState(THttpState::DnsLookupDone);
    if (CurrentState != THttpState::DnsLookupDone)
        return;
    bool valid = false;
    const uint port = ConnectPort.toUInt(&valid);
    if (!valid || port == 0 || port > 65535) {
        Fail(NetError::OtherFailure,
             QLatin1String("can't connect: ") +
                 WithErrorNumber(QLatin1String("invalid port \"") + ConnectPort + QLatin1Char('"'),
                                 NetError::OtherFailure));
        return;
    }
    RestartIdleTimer();
    Socket.Connect(Socket.LookupResult(), quint16(port));
}

void THttpClient::SocketConnected(quint16 error, const QString& description) {
    if (CurrentState != THttpState::DnsLookupDone || Ended)
        return;
    if (error != NetError::None) {
        Fail(error, WithErrorNumber(description, error));
        return;
    }
    RestartIdleTimer();
    SetState(THttpState::Connected);
    if (CurrentState != THttpState::Connected)
        return;
    Q_EMIT OnSessionConnected();
    if (CurrentState != THttpState::Connected)
        return;
    SetState(THttpState::WaitingHeader);
    if (CurrentState != THttpState::WaitingHeader)
        return;
    SendRequestHeader();
    if (Kind == THttpRequest::Post && !Ended) {
        BodySent = false;
        Q_EMIT OnSendBegin();
        SendNextBodyChunk();
    }
}

void THttpClient::SendRequestHeader() {
    AcceptRanges.clear();
    Q_EMIT OnRequestHeaderBegin();
    QByteArray header;
    for (qsizetype i = 0; i < HeaderLines.size(); ++i) {
        if (i == HeaderLines.size() - 1)
            Q_EMIT OnRequestHeaderEnd();
        Q_EMIT OnCommand(HeaderLines.at(i));
        header += HeaderLines.at(i) + "\r\n";
    }
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
    if (!Ended)
        Socket.Send(header);
}

void THttpClient::SendNextBodyChunk() {
    if (BodySent || Ended)
        return;
    const qint64 length = PostBody ? PostBody->read(SendBuffer.data(), SendChunkSize) : 0;
    if (length <= 0) {
        BodySent = true;
        Q_EMIT OnSendEnd();
        return;
    }
    Sent += length;
    Q_EMIT OnSendData(SendBuffer.constData(), int(length));
    if (!Ended)
        Socket.Send(QByteArrayView(SendBuffer.constData(), length));
}

void THttpClient::SocketDataSent() {
    if (Ended)
        return;
    RestartIdleTimer();
    if (Kind == THttpRequest::Post &&
        (CurrentState == THttpState::WaitingHeader || CurrentState == THttpState::WaitingBody))
        SendNextBodyChunk();
}

void THttpClient::SocketDataAvailable() {
    // A handler that pumps events may let the socket report more data; the loop below reads it on return.
    if (Reading)
        return;
    Reading = true;
    while (!Ended && Reader.CurrentPhase() != THttpReplyReader::TPhase::Stopped) {
        const qint64 length = Socket.Receive(ReadBuffer.data(), ReadBuffer.size());
        if (length <= 0)
            break;
        RestartIdleTimer();
        const THttpReplyReader::TVerdict verdict = Reader.Feed(ReadBuffer.constData(), length);
        if (verdict != THttpReplyReader::TVerdict::Continue) {
            HandleVerdict(verdict);
            break;
        }
    }
    Reading = false;
    if (ClosePending) {
        ClosePending = false;
        HandleClose();
    }
}

void THttpClient::SocketClosed(quint16 error, const QString& description) {
    PendingCloseError = error;
    PendingCloseDescription = description;
    if (Reading) {
        ClosePending = true;
        return;
    }
    HandleClose();
}

void THttpClient::HandleClose() {
    if (Ended || CurrentState == THttpState::Ready || CurrentState == THttpState::Aborting)
        return;
    if (PendingCloseError != NetError::None && DoneError == NetError::None) {
        DoneError = PendingCloseError;
        Status = 404;
        Reason = WithErrorNumber(PendingCloseDescription, PendingCloseError);
    }
    PendingCloseError = NetError::None;
    Reader.Finish();
    if (Reader.RelocationPending() && Reader.CurrentPhase() == THttpReplyReader::TPhase::Stopped)
        return; // the relocation restarts the request
    EndConnection();
}

void THttpClient::HandleVerdict(THttpReplyReader::TVerdict verdict) {
    switch (verdict) {
    case THttpReplyReader::TVerdict::Continue:
        break;
    case THttpReplyReader::TVerdict::Close:
        if (Reader.RelocationPending()) {
            FollowRelocation();
        } else {
            Socket.Close();
            EndConnection();
        }
        break;
    case THttpReplyReader::TVerdict::LineTooLong:
        Fail(NetError::LineTooLong, QStringLiteral("HTTP line too long"));
        if (ErrorReport)
            ErrorReport(QStringLiteral("HTTP line too long"));
        break;
    case THttpReplyReader::TVerdict::HeaderTooLarge:
        Fail(NetError::HeaderTooLarge, QStringLiteral("HTTP header too large"));
        break;
    }
}

void THttpClient::FollowRelocation() {
    const QString value = Reader.Header().Location;
    const QUrl resolved = QUrl(AbsoluteUrl(Target)).resolved(QUrl(value));
    const QString next = resolved.toString(QUrl::FullyEncoded);
    const THttpUrl nextParts = ParseHttpUrl(next);

    if (++Relocations > MaxRelocations) {
        Fail(NetError::TooManyRelocations,
             QStringLiteral("too many relocations (more than %1), the last to %2").arg(MaxRelocations).arg(value));
        return;
    }
    if (!resolved.isValid() || nextParts.Scheme != QLatin1String("http") || nextParts.Host.isEmpty()) {
        Fail(NetError::RelocationRefused, QStringLiteral("relocation to an unusable address refused: ") + value);
        return;
    }
    // The body and the credentials were meant for the server we asked, not for whichever one it names.
    const bool carriesSecrets = Kind == THttpRequest::Post || !Username.isEmpty() || !nextParts.User.isEmpty();
    if (carriesSecrets && !SameServer(Target, nextParts)) {
        Fail(NetError::RelocationRefused, QStringLiteral("relocation to another server refused: ") + value);
        return;
    }
    CurrentLocation = next;
    Socket.Close();
    QMetaObject::invokeMethod(
        this, [this, serial = Serial] { Restart(serial); }, Qt::QueuedConnection);
}

void THttpClient::Restart(quint64 serial) {
    if (serial != Serial || Ended || CurrentState == THttpState::Ready || CurrentState == THttpState::Aborting)
        return;
    Q_EMIT OnLocationChange();
    if (serial != Serial || Ended || CurrentState == THttpState::Aborting || CurrentState == THttpState::Ready)
        return;
    Reader.Reset();
    Status = 0;
    Reason.clear();
    Received = 0;
    Sent = 0;
    BodySent = true;
    if (PostBody && Kind == THttpRequest::Post)
        PostBody->seek(PostStart);
    if (PrepareTarget(CurrentLocation))
        BeginLookup();
}

void THttpClient::IdleTimeout() {
    if (Ended || CurrentState == THttpState::Ready || CurrentState == THttpState::Aborting)
        return;
    Fail(NetError::TimedOut, WithErrorNumber(QStringLiteral("connection timed out"), NetError::TimedOut));
}

void THttpClient::Fail(quint16 error, const QString& reason) {
    DoneError = error;
    Status = 404;
    Reason = reason;
    Socket.CancelLookup();
    Socket.Close();
    Reader.Stop();
    EndConnection();
}

void THttpClient::EndConnection() {
    if (Ended)
        return;
    Ended = true;
    IdleTimer.stop();
    Reader.Stop();
    // Queued before OnDocEnd fires: a handler that starts the next request must not have it declared ready.
    QMetaObject::invokeMethod(
        this, [this, serial = Serial] { SetReady(serial); }, Qt::QueuedConnection);
    if (Reader.BodyChunkCount() > 0)
        Q_EMIT OnDocEnd();
}

void THttpClient::SetReady(quint64 serial) {
    if (serial == Serial)
        SetState(THttpState::Ready);
}

void THttpClient::SetState(THttpState state) {
    if (state == CurrentState)
        return;
    CurrentState = state;
    if (state == THttpState::Ready) {
        IdleTimer.stop();
        QMetaObject::invokeMethod(
            this, [this, kind = Kind, error = DoneError] { Q_EMIT OnRequestDone(kind, error); }, Qt::QueuedConnection);
    }
    Q_EMIT OnStateChange();
}

void THttpClient::AbortRequest() {
    if (CurrentState == THttpState::Ready) {
        Socket.Close();
        return;
    }
    if (CurrentState == THttpState::Aborting)
        return;
    SetState(THttpState::Aborting);
    Socket.CancelLookup();
    Status = 404;
    Reason = QStringLiteral("Connection aborted on request");
    DoneError = NetError::Aborted;
    Socket.Close();
    Reader.Stop();
    EndConnection();
    SetState(THttpState::Ready);
}

void THttpClient::RestartIdleTimer() {
    if (IdleTimeoutMs > 0)
        IdleTimer.start(IdleTimeoutMs);
}

void THttpClient::ReplyHeaderBegin() {
    Q_EMIT OnHeaderBegin();
}

void THttpClient::ReplyHeaderLine() {
    const THttpReplyHeader& header = Reader.Header();
    if (header.StatusCode != 0) {
        Status = header.StatusCode;
        Reason = header.ReasonPhrase;
    }
    if (!header.AcceptRanges.isEmpty())
        AcceptRanges = header.AcceptRanges;
    Q_EMIT OnHeaderData();
}

void THttpClient::ReplyCookie(const QString& value) {
    bool accept = true;
    Q_EMIT OnCookie(value, accept);
}

void THttpClient::ReplyHeaderEnd() {
    if (!Reader.RelocationPending()) {
        if (Reader.Header().ContentType == QLatin1String("text/html") &&
            Document.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
            Document = Document.chopped(3) + QLatin1String("htm");
        SetState(THttpState::WaitingBody);
        if (CurrentState != THttpState::WaitingBody)
            return;
    }
    Q_EMIT OnHeaderEnd();
}

void THttpClient::ReplyBody(const char* data, qsizetype length) {
    if (Reader.BodyChunkCount() == 1) {
        Q_EMIT OnDocBegin();
        if (Ended)
            return;
    }
    Received += length;
    Q_EMIT OnDocData(data, int(length));
}

void WaitUntilReady(THttpClient& client) {
    while (client.State() != THttpState::Ready)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
