#include "app/replyprogress.h"

#include "net/neterror.h"

quint16 TReplyProgress::Outcome(quint16 clientError, qint64 contentLength, int status) const {
    if (TooLarge) {
        return NetError::ReplyTooLarge;
    }
    if (clientError != NetError::None) {
        return clientError;
    }
    if (status >= 400) {
        return NetError::ErrorStatus;
    }
    if (!HeaderEnded || (contentLength >= 0 && BodyBytes < contentLength)) {
        return NetError::ConnectionReset;
    }
    return NetError::None;
}

bool IsTransportFailure(THttpRequest rqType, quint16 error) {
    return rqType == THttpRequest::Post && error != NetError::None && error != NetError::Aborted;
}
