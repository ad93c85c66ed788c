#pragma once

// The session as the message windows see it, held in plain fields a test sets; the error reports are queued for
// the modal seam like the main window's.
#include "messaging/messagingsession.h"
#include "session/onlinelist.h"
#include "widgets/queuedboxes.h"

#include <QCheckBox>

class TPlainSession : public TMessagingSession {
public:
    QString Key;
    bool IsLoggedIn = true;
    QStringList Nicks;
    TOnlineList Entries;
    QCheckBox ReconnectBox;
    TQueuedBoxes ErrorBoxes{nullptr};

    QString SessionKey() const override { return Key; }
    bool LoggedIn() const override { return IsLoggedIn; }
    QStringList ReplyNicks() const override { return Nicks; }
    const TOnlineList* OnlineList() const override { return &Entries; }
    void ShowError(const QString& text, const QString& caption) override {
        ErrorBoxes.Queue(caption, text, QMessageBox::Critical);
    }
    QCheckBox* AlwaysReconnectCheckBox() const override { return const_cast<QCheckBox*>(&ReconnectBox); }
};
