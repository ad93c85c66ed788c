#pragma once

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

// Asks the system's name service; blocks, so it runs on a thread of its own. Servers on this machine often listen
// on IPv4 only while the resolver may name ::1 first, so an IPv4 address is preferred. False when nothing is found.
bool ResolveName(const QByteArray& host, TSocketAddress& address);

// The address with `port` set; false for a family the socket does not speak.
bool WithPort(TSocketAddress& address, quint16 port);
