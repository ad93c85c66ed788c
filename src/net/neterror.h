#pragma once

#include <QtGlobal>

// The numbers a request can end with in OnRequestDone. Transport failures carry socket error numbers of the 10000
// range (10061 refused, 10054 reset, ...), so what the user sees never collides with 0 (success) or 3 (aborted); the
// client's own refusals use small numbers of their own.
namespace NetError {
constexpr quint16 None = 0;
constexpr quint16 Aborted = 3;
constexpr quint16 LineTooLong = 4;
constexpr quint16 HeaderTooLarge = 5;
constexpr quint16 TooManyRelocations = 6;
constexpr quint16 RelocationRefused = 7;
constexpr quint16 UnsafeRequest = 8;
// Not the client's own: a caller that ends a request because the reply grew beyond what it may hold.
constexpr quint16 ReplyTooLarge = 9;
// The server closed the connection before its reply header ended: no reply at all.
constexpr quint16 NoReply = 10;
// Not the client's own: a caller that takes a reply with a status of 400 or more (the client ends it cleanly, the
// status kept as its StatusCode) for a failed request.
constexpr quint16 ErrorStatus = 11;

constexpr quint16 OtherFailure = 10050;
constexpr quint16 NetworkUnreachable = 10051;
constexpr quint16 ConnectionReset = 10054;
constexpr quint16 TimedOut = 10060;
constexpr quint16 Refused = 10061;
constexpr quint16 HostUnreachable = 10065;
constexpr quint16 HostNotFound = 11001;
} // namespace NetError
