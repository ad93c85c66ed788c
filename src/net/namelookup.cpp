#include "net/namelookup.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>

namespace {

bool Lookup(const QByteArray& host, int flags, TSocketAddress& address) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    if (host.isEmpty() || host.contains('\0') || ::getaddrinfo(host.constData(), nullptr, &hints, &found) != 0) {
        return false;
    }
    const addrinfo* chosen = nullptr;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        const bool known = entry->ai_family == AF_INET || entry->ai_family == AF_INET6;
        if (known && entry->ai_addrlen <= sizeof address.Storage && (!chosen || entry->ai_family == AF_INET)) {
            chosen = entry;
            if (entry->ai_family == AF_INET) {
                break;
            }
        }
    }
    if (chosen) {
        address = {};
        std::memcpy(&address.Storage, chosen->ai_addr, chosen->ai_addrlen);
        address.Length = chosen->ai_addrlen;
    }
    ::freeaddrinfo(found);
    return chosen != nullptr;
}

} // namespace

bool NumericAddress(const QString& host, TSocketAddress& address) {
    return Lookup(host.toUtf8(), AI_NUMERICHOST, address);
}

bool ResolveName(const QByteArray& host, TSocketAddress& address) {
    return Lookup(host, 0, address);
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
