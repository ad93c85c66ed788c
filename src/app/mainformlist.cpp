// The main window's side of the on-line list update: it feeds the rebuild with the reply, the watched-user list
// and the settings, then announces, keeps the selection, warns about idleness and starts message retrieval.
#include "app/abouttokickform.h"
#include "app/mainform.h"
#include "app/notifyform.h"
#include "app/onlinelistbox.h"
#include "session/onlinelistupdate.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/settings.h"
#include "store/testing.h"

#include <QItemSelectionModel>

namespace {

QList<TWatchedUser> WatchedUsers(const TSettingsForm* settingsForm) {
    QList<TWatchedUser> watched;
    if (!settingsForm) {
        return watched;
    }
    const TUserCheckListBox* list = settingsForm->UserCheckListBox;
    watched.reserve(list->Count());
    for (int index = 0; index < list->Count(); ++index) {
        watched.append({list->NickAt(index), list->FlagAt(index)});
    }
    return watched;
}

} // namespace

void TMainForm::UpdateOnlineList() {
    QString selectedNick;
    const QModelIndex current = OnlineListBox->currentIndex();
    if (current.isValid() && OnlineListBox->selectionModel()->isSelected(current)) {
        selectedNick = OnlineListBox->Entries().NickAt(current.row());
    }
    OwnIdle = 0;

    const QList<TWatchedUser> watched = WatchedUsers(SettingsForm);
    TListUpdateSettings options;
    options.LoginName = Settings.LoginName;
    options.NotifyNewUsersOnly = Settings.NotifyNewUsersOnly;
    options.NewArrivalMs = NewArrivalMs();
    options.Now = ClockNow();
    TOnlineListUpdate update(OnlineListBox->Entries(), ArrivalList, ReplyNicks, NotifyForm->NoticeQueue);
    const TListUpdateResult result = update.Run(ReplyBuffer, watched, options);
    OnlineListBox->EntriesChanged();
    ArrivalsChanged();

    if (result.ErrorReply) {
        LoggedIn = false;
        // The service also answers an expired session key with its error page; holding on to the key would fail
        // every refresh from now on, so the next one logs in anew.
        SessionKey.clear();
        if (Settings.ReportNetworkErrors) {
            SwitchAlwaysReconnectOff();
            ShowError(QStringLiteral("Používáte-li proxy, možná je mimo provoz, nebo je mimo provoz Klabos."),
                      QStringLiteral("Chybná odezva serveru"));
        }
        return;
    }
    OwnIdle = result.OwnIdle;

    if (!watched.isEmpty() && !Settings.SuspendNotifications) {
        // Every NotifyDivisor-th update announces.
        if (NotifyCounter < Settings.NotifyDivisor) {
            ++NotifyCounter;
        } else {
            NotifyForm->Notify();
            NotifyCounter = 1;
        }
    }

    if (!selectedNick.isEmpty()) {
        const int row = OnlineListBox->Entries().IndexOf(selectedNick);
        if (row >= 0) {
            OnlineListBox->setCurrentIndex(OnlineListBox->model()->index(row, 0));
        }
    }

    if (LoggedIn && OwnIdle > Settings.AboutToKickWarningTime && Settings.AboutToKickWarning) {
        AboutToKickForm->Warn();
    }
    MarkStoredMessages();
    RetrieveInMessages();
}
