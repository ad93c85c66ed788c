// The message windows of the main window: the viewer of stored messages and the two send dialogs. Each is created
// on demand, shown modally and destroyed when it closes; the session reaches them through TMainFormSession.
#include "app/mainform.h"
#include "app/onlinelistbox.h"
#include "messaging/inmsgform.h"
#include "messaging/messagingsession.h"
#include "messaging/sendcliform.h"
#include "messaging/sendmsgform.h"
#include "settings/settingsform.h"
#include "widgets/modal.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>

namespace {

// The main window's session as the message windows see it.
class TMainFormSession : public TMessagingSession {
public:
    explicit TMainFormSession(TMainForm& form)
        : Form(form) {}

    QString SessionKey() const override { return Form.SessionKey; }
    bool LoggedIn() const override { return Form.LoggedIn; }
    QStringList ReplyNicks() const override { return Form.ReplyNicks; }
    const TOnlineList* OnlineList() const override {
        return Form.OnlineListBox ? &Form.OnlineListBox->Entries() : nullptr;
    }
    void ShowError(const QString& text, const QString& caption) override { Form.ShowError(text, caption); }
    QCheckBox* AlwaysReconnectCheckBox() const override {
        return Form.SettingsForm ? Form.SettingsForm->AlwaysReconnectCheckBox : nullptr;
    }

private:
    TMainForm& Form;
};

// Sending needs the session key in the request; without one the dialog would only fail later.
bool CanSend(TMainForm& form) {
    if (form.SessionKey.isEmpty()) {
        form.ShowError(QStringLiteral("Cvrlik nemohl autorizovat uživatele."), QStringLiteral("Nelze posílat zprávy"));
        return false;
    }
    return true;
}

// The sender's last message is gone: the envelope leaves the sender's entry. Whether messages still wait is
// what the other entries' marks say, until the next marking looks into the store again.
void ClearEnvelopeMark(TMainForm& form, const QString& nick) {
    TOnlineList& entries = form.OnlineListBox->Entries();
    bool othersHaveMessages = false;
    for (int index = 0; index < entries.Count(); ++index) {
        TItemDetails* details = entries.DetailsAt(index);
        if (entries.NickAt(index).compare(nick, Qt::CaseInsensitive) == 0) {
            details->HasMessages = false;
        }
        othersHaveMessages = othersHaveMessages || details->HasMessages;
    }
    form.HasStoredMessages = othersHaveMessages;
    form.OnlineListBox->viewport()->update();
}

template <typename TDialog>
void ShowSendDialog(TMainForm& form, const QString& nick) {
    TMainFormSession session(form);
    QPointer<TDialog> dialog = new TDialog(session, &form);
    dialog->NickLabel->setText(nick);
    TModal::ExecDialog(*dialog);
    delete dialog.data();
}

} // namespace

void TMainForm::ShowInMsgForm(const QString& nick) {
    if (InMsgForm) {
        return; // one viewer at a time
    }
    TMainFormSession session(*this);
    QPointer<TInMsgForm> viewer = new TInMsgForm(session, this);
    viewer->Nick = nick;
    connect(this, &TMainForm::MessageStored, viewer, &TInMsgForm::MessageStored);
    connect(viewer, &TInMsgForm::SendMessageRequested, this, &TMainForm::OpenSendMessage);
    connect(viewer, &TInMsgForm::SendClientMessageRequested, this, &TMainForm::OpenSendClientMessage);
    connect(viewer, &TInMsgForm::NoMessagesLeft, this,
            [this](const QString& sender) { ClearEnvelopeMark(*this, sender); });
    InMsgForm = viewer;
    TModal::ExecDialog(*viewer);
    InMsgForm = nullptr;
    delete viewer.data();
}

void TMainForm::OpenSendMessage(const QString& nick) {
    if (CanSend(*this)) {
        ShowSendDialog<TSendMsgForm>(*this, nick);
    }
}

void TMainForm::OpenSendClientMessage(const QString& nick) {
    if (CanSend(*this)) {
        ShowSendDialog<TSendCliForm>(*this, nick);
    }
}
