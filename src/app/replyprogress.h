#pragma once

#include "net/httpclient.h"

#include <QtGlobal>

// What has come of one reply so far, as the main window sees it arrive: enough to tell a whole reply from one that
// was cut short or never came. Only a whole reply is evaluated; a part of one is no login, list or message.
struct TReplyProgress {
    bool HeaderEnded = false; // the reply's header was read to its end (or the reply came without one)
    qint64 BodyBytes = 0;
    bool TooLarge = false; // the body outgrew what the caller keeps, and the caller ended the request

    void Restart() { *this = TReplyProgress(); }

    // The error number the request counts as ended with: the client's own, except that a reply the caller ended for
    // its size counts as failed, and a request that ended without an error but with no reply at all (the server
    // closed or reset the connection before a byte) or with less body than its header announced counts as cut off,
    // like a reset connection; a reply with an error status (400 or more), which the client ends at its status line,
    // counts as failed with NetError::ErrorStatus. 0 means a whole reply.
    quint16 Outcome(quint16 clientError, qint64 contentLength, int status) const;
};

// A request that failed in transport: neither a whole reply (0) nor one the program aborted itself (3).
bool IsTransportFailure(THttpRequest rqType, quint16 error);
