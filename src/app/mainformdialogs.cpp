#include "app/mainform.h"

// The message viewer and the two send dialogs live in a library of their own; until it exists these open nothing.

namespace {

// Sending needs the session key in the request; without one the dialog would only fail later.
bool CanSend(TMainForm& form) {
    if (form.SessionKey.isEmpty()) {
        form.ShowError(QStringLiteral("Cvrlik nemohl autorizovat uživatele."), QStringLiteral("Nelze posílat zprávy"));
        return false;
    }
    return true;
}

} // namespace

void TMainForm::ShowInMsgForm(const QString& nick) {
    Q_UNUSED(nick);
}

void TMainForm::OpenSendMessage(const QString& nick) {
    if (!CanSend(*this)) {
        return;
    }
    Q_UNUSED(nick);
}

void TMainForm::OpenSendClientMessage(const QString& nick) {
    if (!CanSend(*this)) {
        return;
    }
    Q_UNUSED(nick);
}
