#include "net/httpclient.h"

#include "net/httperror.h"
#include "net/neterror.h"
#include "net/requestheader.h"
#include "text/codepage.h"

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
    , ReadBuffer(ReadChunkSize, Qt::Uninitialized) {
    IdleTimer.setSingleShot(true);
    DeadlineTimer.setSingleShot(true);
    connect(&IdleTimer, &QTimer::timeout, this, &THttpClient::IdleTimeout);
    connect(&DeadlineTimer, &QTimer::timeout, this, &THttpClient::DeadlinePassed);
    connect(&Socket, &TAsyncSocket::OnLookupDone, this, &THttpClient::LookupDone);
    connect(&Socket, &TAsyncSocket::OnConnected, this, &THttpClient::SocketConnected);
    connect(&Socket, &TAsyncSocket::OnDataAvailable, this, &THttpClient::SocketDataAvailable);
    connect(&Socket, &TAsyncSocket::OnDataSent, this, &THttpClient::SocketDataSent);
}

THttpClient::~THttpClient() = default;

void THttpClient::StartRequest(THttpRequest kind) {
    if (CurrentState != THttpState::Ready)
        throw EHttpError(QStringLiteral("HTTP component is busy"), 1);
    if (kind == THttpRequest::Post && !PostBody)
        throw EHttpError(QStringLiteral("HTTP component has nothing to post"), 2);

    Socket.Close();
    Reader.Reset();
    Arrived.clear();
    Kind = kind;
    DoneError = NetError::None;
    const quint64 serial = ++Serial;
    Ended = false;
    Relocating = false;
    ContinueQueued = false;
    EndOfInput = false;
    BodySent = true; // until a POST begins its body
    Relocations = 0;
    Status = 0;
    Reason.clear();
    Received = 0;
    Sent = 0;
    DocChunks = 0;
    CurrentLocation = URL;
    PostStart = PostBody ? PostBody->pos() : 0;
    if (RequestDeadlineMs > 0)
        DeadlineTimer.start(RequestDeadlineMs);
    SetState(THttpState::NotConnected);
    if (!Same(serial) || CurrentState != THttpState::NotConnected)
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
    const quint64 serial = Serial;
    SetState(THttpState::DnsLookup);
    if (!Same(serial) || CurrentState != THttpState::DnsLookup)
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
    const quint64 serial = Serial;
    SetState(THttpState::DnsLookupDone);
    if (!Same(serial) || CurrentState != THttpState::DnsLookupDone)
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
    // Every address gets its share of the idle timeout, so that a silent one leaves time for the others.
    const QList<TSocketAddress> addresses = Socket.LookupResult();
    const int attemptMs = IdleTimeoutMs > 0 ? qMax(1, IdleTimeoutMs / int(qMax<qsizetype>(1, addresses.size()))) : 0;
    Socket.Connect(addresses, quint16(port), attemptMs);
}

void THttpClient::SocketConnected(quint16 error, const QString& description) {
    if (CurrentState != THttpState::DnsLookupDone || Ended)
        return;
    if (error != NetError::None) {
        Fail(error, WithErrorNumber(description, error));
        return;
    }
    const quint64 serial = Serial;
    RestartIdleTimer();
    SetState(THttpState::Connected);
    if (!Same(serial) || CurrentState != THttpState::Connected)
        return;
    Q_EMIT OnSessionConnected();
    if (!Same(serial) || CurrentState != THttpState::Connected)
        return;
    SetState(THttpState::WaitingHeader);
    if (!Same(serial) || CurrentState != THttpState::WaitingHeader)
        return;
    // Whatever the server sent meanwhile is read from the event loop, never inside this call.
    QueueContinue(serial);
    SendRequestHeader(serial);
    if (!Same(serial) || Kind != THttpRequest::Post)
        return;
    BodySent = false;
    Q_EMIT OnSendBegin();
    if (Same(serial))
        SendNextBodyChunk();
}

void THttpClient::SendRequestHeader(quint64 serial) {
    AcceptRanges.clear();
    Q_EMIT OnRequestHeaderBegin();
    if (!Same(serial))
        return;
    const QList<QByteArray> lines = HeaderLines;
    QByteArray header;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == lines.size() - 1) {
            Q_EMIT OnRequestHeaderEnd();
            if (!Same(serial))
                return;
        }
        Q_EMIT OnCommand(lines.at(i));
        if (!Same(serial))
            return;
        header += lines.at(i) + "\r\n";
    }
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
    Socket.Send(header);
}

void THttpClient::SendNextBodyChunk() {
    if (BodySent || Ended)
        return;
    const quint64 serial = Serial;
    QByteArray chunk(SendChunkSize, Qt::Uninitialized);
    const qint64 length = PostBody ? PostBody->read(chunk.data(), SendChunkSize) : 0;
    if (length <= 0) {
        BodySent = true;
        Q_EMIT OnSendEnd();
        return;
    }
    chunk.truncate(length);
    Sent += length;
    Q_EMIT OnSendData(chunk.constData(), int(length));
    if (Same(serial))
        Socket.Send(chunk);
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
    Deliver(Serial);
}

void THttpClient::Deliver(quint64 serial) {
    // Reads only while the reader has handed on everything before, so at most one read is held at a time; the rest
    // waits in the kernel, which holds the server back.
    while (Same(serial) && !Relocating &&
           (CurrentState == THttpState::WaitingHeader || CurrentState == THttpState::WaitingBody)) {
        if (!Arrived.isEmpty()) {
            const TReplyEvent event = Arrived.takeFirst();
            QueueContinue(serial);
            Fire(event, serial);
            continue;
        }
        if (EndOfInput) {
            InputEnded();
            return;
        }
        const qint64 length = Socket.Receive(ReadBuffer.data(), ReadBuffer.size());
        if (length == 0)
            return; // the socket tells when more has come
        if (length < 0) {
            EndOfInput = true;
            Reader.Finish();
            continue;
        }
        RestartIdleTimer();
        const THttpReplyReader::TVerdict verdict = Reader.Feed(ReadBuffer.constData(), length);
        if (verdict != THttpReplyReader::TVerdict::Continue) {
            TReplyEvent event{TReplyEvent::TKind::Verdict};
            event.Verdict = verdict;
            Arrived.append(event);
        }
    }
}

void THttpClient::QueueContinue(quint64 serial) {
    // A handler that pumps the event loop (waiting for this very client, say) lets the delivery go on from there.
    if (ContinueQueued)
        return;
    ContinueQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this, serial] {
            if (serial != Serial)
                return;
            ContinueQueued = false;
            Deliver(serial);
        },
        Qt::QueuedConnection);
}

void THttpClient::Fire(const TReplyEvent& event, quint64 serial) {
    using TKind = TReplyEvent::TKind;
    switch (event.Kind) {
    case TKind::HeaderBegin:
        Q_EMIT OnHeaderBegin();
        break;
    case TKind::HeaderLine:
        if (event.Status != 0) {
            Status = event.Status;
            Reason = event.Text;
        }
        if (!Reader.Header().AcceptRanges.isEmpty())
            AcceptRanges = Reader.Header().AcceptRanges;
        Q_EMIT OnHeaderData();
        break;
    case TKind::Cookie: {
        bool accept = true;
        Q_EMIT OnCookie(event.Text, accept);
        break;
    }
    case TKind::BodyState:
        if (Reader.Header().ContentType == QLatin1String("text/html") &&
            Document.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
            Document = Document.chopped(3) + QLatin1String("htm");
        SetState(THttpState::WaitingBody);
        break;
    case TKind::HeaderEnd:
        Q_EMIT OnHeaderEnd();
        break;
    case TKind::DocBegin:
        Q_EMIT OnDocBegin();
        break;
    case TKind::Body:
        Received += event.Data.size();
        Q_EMIT OnDocData(event.Data.constData(), int(event.Data.size()));
        break;
    case TKind::Verdict:
        if (Same(serial))
            HandleVerdict(event.Verdict);
        break;
    }
}

void THttpClient::InputEnded() {
    const quint16 error = Socket.EndError();
    if (error != NetError::None) {
        Fail(error, WithErrorNumber(Socket.EndDescription(), error));
        return;
    }
    if (Reader.CurrentPhase() == THttpReplyReader::TPhase::Header) {
        Fail(NetError::NoReply, QStringLiteral("the server closed the connection before its reply header ended"));
        return;
    }
    EndConnection(true);
}

void THttpClient::HandleVerdict(THttpReplyReader::TVerdict verdict) {
    switch (verdict) {
    case THttpReplyReader::TVerdict::Continue:
        break;
    case THttpReplyReader::TVerdict::Close:
        if (Reader.RelocationPending()) {
            FollowRelocation();
        } else {
            // An error status: the client ends the reply itself, so whatever followed is no document.
            Socket.Close();
            EndConnection(false);
        }
        break;
    case THttpReplyReader::TVerdict::LineTooLong:
        Fail(NetError::LineTooLong, QStringLiteral("HTTP line too long"));
        QueueReport(QStringLiteral("HTTP line too long"));
        break;
    case THttpReplyReader::TVerdict::HeaderTooLarge:
        Fail(NetError::HeaderTooLarge, QStringLiteral("HTTP header too large"));
        break;
    }
}

void THttpClient::QueueReport(const QString& text) {
    QMetaObject::invokeMethod(
        this,
        [text] {
            if (ErrorReport)
                ErrorReport(text);
        },
        Qt::QueuedConnection);
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
    Relocating = true;
    Socket.Close();
    QMetaObject::invokeMethod(
        this, [this, serial = Serial] { Restart(serial); }, Qt::QueuedConnection);
}

void THttpClient::Restart(quint64 serial) {
    if (!Same(serial) || !Relocating || CurrentState == THttpState::Ready || CurrentState == THttpState::Aborting)
        return;
    Q_EMIT OnLocationChange();
    if (!Same(serial) || CurrentState == THttpState::Aborting || CurrentState == THttpState::Ready)
        return;
    Relocating = false;
    Reader.Reset();
    Arrived.clear();
    EndOfInput = false;
    Status = 0;
    Reason.clear();
    Received = 0;
    Sent = 0;
    DocChunks = 0;
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

void THttpClient::DeadlinePassed() {
    if (Ended || CurrentState == THttpState::Ready || CurrentState == THttpState::Aborting)
        return;
    Fail(NetError::TimedOut,
         WithErrorNumber(QStringLiteral("the request ran longer than %1 s").arg(RequestDeadlineMs / 1000.0),
                         NetError::TimedOut));
}

void THttpClient::Fail(quint16 error, const QString& reason) {
    DoneError = error;
    Status = 404;
    Reason = reason;
    Socket.CancelLookup();
    Socket.Close();
    Reader.Stop();
    EndConnection(false);
}

void THttpClient::EndConnection(bool wholeDocument) {
    if (Ended)
        return;
    Ended = true;
    Relocating = false;
    IdleTimer.stop();
    DeadlineTimer.stop();
    Reader.Stop();
    Arrived.clear();
    // Queued before OnDocEnd fires: a handler that starts the next request must not have it declared ready.
    QMetaObject::invokeMethod(
        this, [this, serial = Serial] { SetReady(serial); }, Qt::QueuedConnection);
    if (wholeDocument && DocChunks > 0)
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
        DeadlineTimer.stop();
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
    // The request is ended before anything fires, so a handler of the state change below that waits for Ready
    // gets it, and one that starts the next request finds nothing of this one left to touch it.
    const quint64 serial = Serial;
    Socket.CancelLookup();
    Socket.Close();
    Status = 404;
    Reason = QStringLiteral("Connection aborted on request");
    DoneError = NetError::Aborted;
    EndConnection(false);
    SetState(THttpState::Aborting);
    if (serial != Serial || CurrentState != THttpState::Aborting)
        return;
    SetState(THttpState::Ready);
}

void THttpClient::RestartIdleTimer() {
    if (IdleTimeoutMs > 0)
        IdleTimer.start(IdleTimeoutMs);
}

// The reader runs no handler of ours directly: what it finds is queued and fired one event at a time.
void THttpClient::ReplyHeaderBegin() {
    Arrived.append(TReplyEvent{TReplyEvent::TKind::HeaderBegin});
}

void THttpClient::ReplyHeaderLine() {
    TReplyEvent event{TReplyEvent::TKind::HeaderLine};
    event.Status = Reader.Header().StatusCode;
    event.Text = Reader.Header().ReasonPhrase;
    Arrived.append(event);
}

void THttpClient::ReplyCookie(const QString& value) {
    TReplyEvent event{TReplyEvent::TKind::Cookie};
    event.Text = value;
    Arrived.append(event);
}

void THttpClient::ReplyHeaderEnd() {
    if (!Reader.RelocationPending())
        Arrived.append(TReplyEvent{TReplyEvent::TKind::BodyState});
    Arrived.append(TReplyEvent{TReplyEvent::TKind::HeaderEnd});
}

void THttpClient::ReplyBody(const char* data, qsizetype length) {
    if (++DocChunks == 1)
        Arrived.append(TReplyEvent{TReplyEvent::TKind::DocBegin});
    TReplyEvent event{TReplyEvent::TKind::Body};
    event.Data = QByteArray(data, length);
    Arrived.append(event);
}
