#pragma once

#include <QByteArray>
#include <QString>

// The request of the two send dialogs and the reading of its reply: plain functions over texts, no window.

// The service takes no more of a request body than this many bytes.
inline constexpr qsizetype MessageBodyLimit = 255;

// The leading field that makes the service deliver the message to a chat user (in a room), or to the addressee's
// client. The program keeps both only in scrambled form.
QByteArray ChatMessageAction();
QByteArray ClientMessageAction();

struct TMessageBody {
    QByteArray Body;
    // How much of the message the body carries, in the message's own units (QString positions): the rest did not
    // fit into the body and is not sent.
    qsizetype TextSent = 0;
};

// action + "&jmeno=" + encoded login name + "&heslo=" + session key + "&komu=" + addressee + "&text=" + encoded
// message, in Windows-1250; the key and the addressee go unencoded. A character the code page lacks goes out as
// "?". The body is cut to MessageBodyLimit bytes, and only ever between whole characters, so it never ends in half
// of a "%XX".
TMessageBody MessageRequestBody(const QByteArray& action, const QString& loginName, const QString& sessionKey,
                                const QString& addressee, const QString& message);

// What the service answered to a message, compared whole and with letter case.
enum class TSendOutcome {
    Sent,         // "zprava poslana"
    NoStar,       // "Spatne heslo nebo prava"
    UserNotFound, // "uzivatel neni online"
    NoRights,     // anything else, no reply at all included
};
TSendOutcome SendOutcomeOf(const QByteArray& reply);
// The status line the dialogs show for it.
QString SendStatusText(TSendOutcome outcome);
