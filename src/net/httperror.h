#pragma once

#include <QString>
#include <stdexcept>

// Misuse of the client (starting while busy, posting without a body) is raised to the caller as an EHttpError with a
// numeric code; transport failures are never raised but end the request with an error number in OnRequestDone.
class EHttpError : public std::runtime_error {
public:
    EHttpError(const QString& message, int code)
        : std::runtime_error(message.toStdString())
        , Message(message)
        , Code(code) {}

    QString Message;
    int Code;
};
