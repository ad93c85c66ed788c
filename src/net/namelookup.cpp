#include "net/namelookup.h"

#include <QUrl>

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>

namespace {

// Every usable address the answer holds, in its order; false when the service found nothing.
bool Lookup(const QByteArray& name, int flags, QList<TSocketAddress>& addresses) {
    addresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    if (name.isEmpty() || name.contains('\0') || ::getaddrinfo(name.constData(), nullptr, &hints, &found) != 0) {
        return false;
    }
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        const bool known = entry->ai_family == AF_INET || entry->ai_family == AF_INET6;
        if (known && entry->ai_addrlen <= sizeof(sockaddr_storage)) {
            TSocketAddress address;
            std::memcpy(&address.Storage, entry->ai_addr, entry->ai_addrlen);
            address.Length = entry->ai_addrlen;
            addresses.append(address);
        }
    }
    ::freeaddrinfo(found);
    return !addresses.isEmpty();
}

} // namespace

bool NumericAddress(const QString& host, TSocketAddress& address) {
    QList<TSocketAddress> found;
    if (!Lookup(host.toUtf8(), AI_NUMERICHOST, found)) {
        return false;
    }
    address = found.first();
    return true;
}

QByteArray LookupName(const QString& host) {
    const bool ascii =
        std::all_of(host.cbegin(), host.cend(), [](QChar character) { return character.unicode() < 0x80; });
    if (ascii) {
        return host.toLatin1(); // as it is: the resolver knows names (with "_", say) that IDNA's rules would refuse
    }
    // Qt writes the name the way IDNA asks for, without depending on the locale's character set as the resolver's
    // own conversion would (it fails in a "C" locale).
    return QUrl::toAce(host);
}

QList<TSocketAddress> ResolveName(const QByteArray& name) {
    QList<TSocketAddress> addresses;
    // Only the families this machine has an address of: no IPv6 address first on a network that cannot reach it.
    // A machine with no network at all but its loopback has none of them; there, the name is asked for as it is.
    if (!Lookup(name, AI_ADDRCONFIG, addresses)) {
        Lookup(name, 0, addresses);
    }
    return addresses;
}

bool WithPort(TSocketAddress& address, quint16 port) {
    if (address.Storage.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in*>(&address.Storage)->sin_port = htons(port);
        return true;
    }
    if (address.Storage.ss_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&address.Storage)->sin6_port = htons(port);
        return true;
    }
    return false;
}
