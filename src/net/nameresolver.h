#pragma once

#include "net/namelookup.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <functional>

// Resolves host names for the sockets of the GUI thread on threads beside the event loop, since the system's name
// service blocks. A name service that hangs must not cost a thread per attempt: sockets asking for a name being
// looked up already wait for that lookup, and at most MaxThreads lookups run at once, the rest waiting their turn.
// Every answer arrives through the event loop, never inside the call that asked, and only while the application
// object lives: a lookup that outlives it ends without a word.
class TNameResolver {
public:
    static constexpr int MaxThreads = 4;

    // The addresses found (empty when none) and 0, or the error that kept the lookup from running.
    using TAnswer = std::function<void(const QList<TSocketAddress>& addresses, quint16 error)>;

    // Looks the name up (LookupName's form) and hands the answer to `answer`, unless `receiver` is gone or the
    // lookup was cancelled by then. Returns the ticket that cancels it.
    static quint64 Lookup(const QByteArray& name, QObject* receiver, TAnswer answer);
    // The answer of that lookup goes to nobody; a lookup nobody waits for any more is not started at all.
    static void Cancel(quint64 ticket);
};
