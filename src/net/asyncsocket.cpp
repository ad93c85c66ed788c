#include "net/asyncsocket.h"

#include "net/nameresolver.h"
#include "net/neterror.h"

#include <QMetaObject>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString Describe(int systemError) {
    return qt_error_string(systemError);
}

} // namespace

TAsyncSocket::TAsyncSocket(QObject* parent)
    : QObject(parent) {
    ReadNotifier.setEnabled(false);
    WriteNotifier.setEnabled(false);
    AttemptTimer.setSingleShot(true);
    connect(&ReadNotifier, &QSocketNotifier::activated, this, &TAsyncSocket::Readable);
    connect(&WriteNotifier, &QSocketNotifier::activated, this, &TAsyncSocket::Writable);
    connect(&AttemptTimer, &QTimer::timeout, this, [this] { AttemptFailed(ETIMEDOUT); });
}

TAsyncSocket::~TAsyncSocket() {
    CancelLookup();
    CloseDescriptor();
}

void TAsyncSocket::StartLookup(const QString& host) {
    CancelLookup();
    Addresses.clear();
    TSocketAddress numeric;
    if (NumericAddress(host, numeric)) {
        Addresses = {numeric};
        Q_EMIT OnLookupDone(NetError::None);
        return;
    }
    LookupActive = true;
    // A cancelled lookup's answer goes to nobody, and one that outlives this socket finds it gone.
    LookupTicket =
        TNameResolver::Lookup(LookupName(host), this, [this](const QList<TSocketAddress>& addresses, quint16 error) {
            HostFound(addresses, error);
        });
}

void TAsyncSocket::CancelLookup() {
    if (!LookupActive)
        return;
    LookupActive = false;
    TNameResolver::Cancel(LookupTicket);
}

void TAsyncSocket::HostFound(const QList<TSocketAddress>& addresses, quint16 error) {
    if (!LookupActive)
        return;
    LookupActive = false;
    if (error == NetError::None && addresses.isEmpty())
        error = NetError::HostNotFound;
    if (error != NetError::None) {
        Q_EMIT OnLookupDone(error);
        return;
    }
    Addresses = addresses;
    Q_EMIT OnLookupDone(NetError::None);
}

void TAsyncSocket::Connect(const QList<TSocketAddress>& addresses, quint16 port, int attemptMs) {
    Close();
    Untried = addresses;
    ConnectPort = port;
    AttemptMs = attemptMs;
    LastConnectError = EHOSTUNREACH; // for a list with no address at all
    TryNextAddress();
}

void TAsyncSocket::TryNextAddress() {
    while (!Untried.isEmpty()) {
        const int error = OpenConnection(Untried.takeFirst());
        if (error == 0) {
            if (Connecting && !Untried.isEmpty() && AttemptMs > 0)
                AttemptTimer.start(AttemptMs);
            return;
        }
        LastConnectError = error;
    }
    // Every address failed at once: told from the event loop, never inside the caller.
    PostConnected(LastConnectError);
}

int TAsyncSocket::OpenConnection(TSocketAddress address) {
    if (!WithPort(address, ConnectPort))
        return EAFNOSUPPORT;
    Descriptor = ::socket(address.Storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (Descriptor < 0)
        return errno;
    ReadNotifier.setSocket(Descriptor);
    WriteNotifier.setSocket(Descriptor);
    if (::connect(Descriptor, reinterpret_cast<const sockaddr*>(&address.Storage), address.Length) == 0) {
        Connecting = true;
        Post(&TAsyncSocket::FinishConnect);
        return 0;
    }
    // Interrupted, the connection still completes in the background, as one in progress does.
    if (errno != EINPROGRESS && errno != EINTR) {
        const int error = errno;
        CloseDescriptor();
        return error;
    }
    Connecting = true;
    WriteNotifier.setEnabled(true);
    return 0;
}

void TAsyncSocket::AttemptFailed(int systemError) {
    Connecting = false;
    CloseDescriptor();
    ++ConnectionSerial; // nothing posted for the address given up reaches the next one
    LastConnectError = systemError;
    if (!Untried.isEmpty()) {
        TryNextAddress();
        return;
    }
    Q_EMIT OnConnected(ErrorNumber(systemError), Describe(systemError));
}

void TAsyncSocket::FinishConnect() {
    if (!Connecting || Descriptor < 0)
        return;
    Connecting = false;
    WriteNotifier.setEnabled(false);
    AttemptTimer.stop();
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(Descriptor, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
        error = errno;
    if (error != 0) {
        AttemptFailed(error);
        return;
    }
    Untried.clear();
    ReadNotifier.setEnabled(true);
    if (!Outgoing.isEmpty() && Flush())
        Post(&TAsyncSocket::OnDataSent);
    Q_EMIT OnConnected(NetError::None, QString());
}

void TAsyncSocket::Send(QByteArrayView data) {
    if (Descriptor < 0 || Ended || SendError != 0 || data.isEmpty())
        return;
    Outgoing.append(data.data(), data.size());
    // Whoever sends is still in its own call: the notice that all went out waits for the event loop.
    if (!Connecting && Flush())
        Post(&TAsyncSocket::OnDataSent);
}

bool TAsyncSocket::Flush() {
    while (OutgoingSent < Outgoing.size()) {
        const ssize_t written = ::send(Descriptor, Outgoing.constData() + OutgoingSent,
                                       size_t(Outgoing.size() - OutgoingSent), MSG_NOSIGNAL);
        if (written > 0) {
            OutgoingSent += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            WriteNotifier.setEnabled(true);
            return false;
        }
        // The peer is gone; what it sent before may still be waiting to be read, so the end shows on reading.
        SendError = written < 0 ? errno : EPIPE;
        Outgoing.clear();
        OutgoingSent = 0;
        WriteNotifier.setEnabled(false);
        Post(&TAsyncSocket::OnDataAvailable);
        return false;
    }
    Outgoing.clear();
    OutgoingSent = 0;
    WriteNotifier.setEnabled(false);
    return true;
}

void TAsyncSocket::Writable() {
    if (Connecting) {
        FinishConnect();
        return;
    }
    if (Descriptor >= 0 && Flush())
        Q_EMIT OnDataSent();
}

void TAsyncSocket::Readable() {
    // Quiet until the owner has read what is there; level-triggered notices would otherwise repeat without end.
    ReadNotifier.setEnabled(false);
    Q_EMIT OnDataAvailable();
}

qint64 TAsyncSocket::Receive(char* buffer, qint64 maxLength) {
    if (Ended || Descriptor < 0)
        return -1;
    if (Connecting)
        return 0;
    for (;;) {
        const ssize_t length = ::recv(Descriptor, buffer, size_t(maxLength), 0);
        if (length > 0)
            return length;
        if (length == 0) {
            End(SendError);
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            ReadNotifier.setEnabled(true);
            return 0;
        }
        End(errno);
        return -1;
    }
}

void TAsyncSocket::End(int systemError) {
    Ended = true;
    FinalError = systemError == 0 ? NetError::None : ErrorNumber(systemError);
    FinalDescription = systemError == 0 ? QString() : Describe(systemError);
    CloseDescriptor();
}

void TAsyncSocket::Close() {
    ++ConnectionSerial;
    CloseDescriptor();
    Untried.clear();
    Outgoing.clear();
    OutgoingSent = 0;
    Connecting = false;
    Ended = false;
    SendError = 0;
    FinalError = NetError::None;
    FinalDescription.clear();
}

void TAsyncSocket::CloseDescriptor() {
    ReadNotifier.setEnabled(false);
    WriteNotifier.setEnabled(false);
    AttemptTimer.stop();
    if (Descriptor < 0)
        return;
    ::close(Descriptor);
    Descriptor = -1;
}

void TAsyncSocket::Post(void (TAsyncSocket::*notice)()) {
    QMetaObject::invokeMethod(
        this,
        [this, notice, serial = ConnectionSerial] {
            if (serial == ConnectionSerial)
                (this->*notice)();
        },
        Qt::QueuedConnection);
}

void TAsyncSocket::PostConnected(int systemError) {
    QMetaObject::invokeMethod(
        this,
        [this, systemError, serial = ConnectionSerial] {
            if (serial == ConnectionSerial)
                Q_EMIT OnConnected(ErrorNumber(systemError), Describe(systemError));
        },
        Qt::QueuedConnection);
}

quint16 TAsyncSocket::ErrorNumber(int systemError) {
    switch (systemError) {
    case 0:
        return NetError::None;
    case ECONNREFUSED:
        return NetError::Refused;
    case ECONNRESET:
    case EPIPE:
        return NetError::ConnectionReset;
    case ETIMEDOUT:
        return NetError::TimedOut;
    case ENETUNREACH:
        return NetError::NetworkUnreachable;
    case EHOSTUNREACH:
        return NetError::HostUnreachable;
    default:
        return NetError::OtherFailure;
    }
}
