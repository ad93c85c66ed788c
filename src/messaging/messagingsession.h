#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class TOnlineList;

// What the message windows need of the running session. The main window hands one over when it opens a window;
// every part is read when it is needed, so a key renewed while a dialog is open is the one that goes out.
class TMessagingSession {
public:
    virtual ~TMessagingSession() = default;

    virtual QString SessionKey() const = 0;
    virtual bool LoggedIn() const = 0;
    // Every nick named in the last people reply, in reply order.
    virtual QStringList ReplyNicks() const = 0;
    // The main window's on-line list; null when there is none.
    virtual const TOnlineList* OnlineList() const = 0;
    // The error report of the session: a modal error box. It is queued, never opened inside the caller: the box
    // opens from the event loop once the caller's handler (a network handler, often) has returned.
    virtual void ShowError(const QString& text, const QString& caption) = 0;
    // The settings dialog's "Opakovaně připojovat", which a failed send unticks; null when there is none.
    virtual QCheckBox* AlwaysReconnectCheckBox() const = 0;
};
