#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <sys/socket.h>

// An address in the form connect() takes; the port is set when connecting.
struct TSocketAddress {
    sockaddr_storage Storage{};
    socklen_t Length = 0;
};

// A host written as an IPv4 or IPv6 address (a link-local one with its "%zone"): true and the address, without
// asking any name service.
bool NumericAddress(const QString& host, TSocketAddress& address);

// The host name as the name service is asked for it: a name with non-ASCII letters in its ASCII form ("xn--..."),
// whatever the process's locale. Empty when the name cannot be written so.
QByteArray LookupName(const QString& host);

// Asks the system's name service for the addresses of the name (as LookupName gives it) that this machine can
// reach, IPv6 ones included, in the order the service gives them; the caller tries them in turn. Blocks, so it runs
// on a thread of its own. Empty when nothing is found.
QList<TSocketAddress> ResolveName(const QByteArray& name);

// The address with `port` set; false for a family the socket does not speak.
bool WithPort(TSocketAddress& address, quint16 port);
