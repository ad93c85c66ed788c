// The nick menu and the list's actions: the menu built afresh on every mouse-up over the list, each item's action,
// and the double click.
#include "app/mainform.h"
#include "app/nickmenu.h"
#include "app/onlinelistbox.h"
#include "session/protocol.h"
#include "settings/adduserform.h"
#include "settings/commentform.h"
#include "settings/deluserform.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/modal.h"

#include <QAction>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSignalBlocker>
#include <QUrl>

namespace {

QList<TNickMenuRoom> RoomsOf(const TItemDetails& details) {
    QList<TNickMenuRoom> rooms;
    for (const TRoomObject* room = details.Rooms.get(); room; room = room->Next.get()) {
        rooms.append({room->RoomName, room->RoomId, room->IdleText});
    }
    return rooms;
}

} // namespace

void TMainForm::CreateNickMenu() {
    NickPopupMenu = new QMenu(this);
    // Two separators may follow each other, and the menu shows them as built.
    NickPopupMenu->setSeparatorsCollapsible(false);
    connect(OnlineListBox, &TOnlineListBox::MouseUp, this, &TMainForm::OnlineListBoxMouseUp);
    connect(OnlineListBox, &TOnlineListBox::DblClick, this, &TMainForm::OnlineListBoxDblClick);
    connect(OnlineListBox, &TOnlineListBox::EnterKey, this, &TMainForm::OnlineListBoxEnterKey);
    connect(OnlineListBox, &TOnlineListBox::MenuKey, this, &TMainForm::OnlineListBoxMenuKey);
}

int TMainForm::SelectedEntry() const {
    const QModelIndex current = OnlineListBox->currentIndex();
    if (!current.isValid() || !OnlineListBox->selectionModel()->isSelected(current) ||
        current.row() >= OnlineListBox->Entries().Count()) {
        return -1;
    }
    return current.row();
}

QString TMainForm::SelectedNick() const {
    const int row = SelectedEntry();
    return row < 0 ? QString() : OnlineListBox->Entries().NickAt(row);
}

void TMainForm::OnlineListBoxMouseUp(Qt::MouseButton button, QPoint position) {
    const bool opens = button == Qt::RightButton || (button == Qt::LeftButton && Settings.EasyMouseMode);
    if (!opens) {
        return;
    }
    const QModelIndex under = OnlineListBox->indexAt(position);
    if (under.isValid()) {
        OnlineListBox->setCurrentIndex(under);
        OnlineListBox->selectionModel()->select(under, QItemSelectionModel::ClearAndSelect);
    } else {
        OnlineListBox->selectionModel()->clear();
    }
    BuildNickPopupMenu();
    NickPopupMenu->popup(OnlineListBox->viewport()->mapToGlobal(position));
}

void TMainForm::OnlineListBoxMenuKey() {
    if (NickPopupMenu->isVisible()) {
        return; // the same key, come once as a key and once as a menu request
    }
    BuildNickPopupMenu();
    // Below the current entry, where the eye (and a magnifier) already is.
    const QModelIndex current = OnlineListBox->currentIndex();
    const QPoint at = current.isValid() ? OnlineListBox->visualRect(current).bottomLeft() : QPoint(0, 0);
    NickPopupMenu->popup(OnlineListBox->viewport()->mapToGlobal(at));
    // As a menu opened from the keyboard does: its first item is active, and a screen reader says it.
    for (QAction* action : NickPopupMenu->actions()) {
        if (!action->isSeparator() && action->isEnabled()) {
            NickPopupMenu->setActiveAction(action);
            break;
        }
    }
}

TNickMenuInput TMainForm::NickMenuInput() const {
    TNickMenuInput input;
    input.SessionKeyHeld = !SessionKey.isEmpty();
    input.LoggedIn = LoggedIn;
    input.SuspendNotifications = Settings.SuspendNotifications;
    const int row = SelectedEntry();
    if (row < 0) {
        return input;
    }
    const TOnlineList& entries = OnlineListBox->Entries();
    const TItemDetails& details = *entries.DetailsAt(row);
    input.EntrySelected = true;
    input.Nick = entries.NickAt(row);
    input.HasMessages = details.HasMessages;
    input.Rooms = RoomsOf(details);
    if (SettingsForm) {
        const int watched = SettingsForm->UserCheckListBox->IndexOfNick(input.Nick);
        input.Watched = watched >= 0;
        input.Notify = input.Watched && SettingsForm->UserCheckListBox->FlagAt(watched);
    }
    return input;
}

void TMainForm::BuildNickPopupMenu() {
    // The old items may still be on their way out of a click: they go when the event loop gets back here.
    for (QAction* action : NickPopupMenu->actions()) {
        NickPopupMenu->removeAction(action);
        action->deleteLater();
    }
    for (const TNickMenuItem& item : BuildNickMenu(NickMenuInput())) {
        if (item.Separator) {
            NickPopupMenu->addSeparator();
            continue;
        }
        QAction* action = NickPopupMenu->addAction(item.Caption);
        if (item.Image >= 0) {
            action->setIcon(MenuImageList.value(item.Image));
        }
        action->setEnabled(item.Enabled);
        action->setCheckable(item.Checkable);
        action->setChecked(item.Checked);
        if (item.Default) {
            QFont bold = action->font();
            bold.setBold(true);
            action->setFont(bold);
            NickPopupMenu->setDefaultAction(action);
        }
        connect(action, &QAction::triggered, this,
                [this, kind = item.Action, details = item.Details.value_or(TUserDetails{}), checked = item.Checked] {
                    RunNickAction(kind, details, checked);
                });
    }
}

void TMainForm::RunNickAction(TNickAction action, const TUserDetails& details, bool wasChecked) {
    switch (action) {
    case TNickAction::ReadMessages:
        ReadMessagesClick();
        break;
    case TNickAction::EnterRoom:
        EnterRoomClick(details);
        break;
    case TNickAction::SendMessage:
        SendMessageClick(details);
        break;
    case TNickAction::SendClientMessage:
        SendClientMessageClick(details);
        break;
    case TNickAction::Comment:
        CommentClick();
        break;
    case TNickAction::Notify:
        NotifyClick(wasChecked);
        break;
    case TNickAction::RemoveUser:
        RemoveUserClick();
        break;
    case TNickAction::AutoLogin:
        AutoLoginClick();
        break;
    case TNickAction::AddUser:
        AddUserClick();
        break;
    case TNickAction::SuppressNotify:
        SuppressNotifyClick();
        break;
    case TNickAction::None:
        break;
    }
}

void TMainForm::ReadMessagesClick() {
    const QString nick = SelectedNick();
    if (!nick.isEmpty()) {
        ShowInMsgForm(nick);
    }
}

void TMainForm::EnterRoomClick(const TUserDetails& details) {
    // The user enters, as themself, the room in which the watched user sits.
    TDesktop::OpenUrl(QUrl(RoomPageUrl(Settings.LoginName, SessionKey, details.RoomId)));
}

void TMainForm::SendMessageClick(const TUserDetails& details) {
    OpenSendMessage(details.Nick);
}

void TMainForm::SendClientMessageClick(const TUserDetails& details) {
    OpenSendClientMessage(details.Nick);
}

void TMainForm::CommentClick() {
    const QString nick = SelectedNick();
    if (nick.isEmpty()) {
        return;
    }
    TCommentForm comment(this);
    comment.Nick = nick;
    TModal::ExecDialog(comment);
}

void TMainForm::NotifyClick(bool itemChecked) {
    const QString nick = SelectedNick();
    if (nick.isEmpty() || !SettingsForm) {
        return;
    }
    TUserCheckListBox* watched = SettingsForm->UserCheckListBox;
    const int index = watched->IndexOfNick(nick);
    if (index < 0) {
        return;
    }
    watched->SetFlag(index, !itemChecked);
    TApplication::RunReportingFailure([this] { SettingsForm->SaveNickList(); });
    OnlineListBox->viewport()->update();
}

void TMainForm::RemoveUserClick() {
    const QString nick = SelectedNick();
    if (nick.isEmpty() || !SettingsForm) {
        return;
    }
    TDelUserForm confirmation(this);
    confirmation.Nick = nick;
    if (TModal::ExecDialog(confirmation) != QDialog::Accepted) {
        return;
    }
    const bool commentToo = confirmation.CommentTooCheckBox->isChecked();
    TApplication::RunReportingFailure([&] { SettingsForm->RemoveWatchedUser(nick, commentToo); });
    OnlineListBox->viewport()->update();
}

void TMainForm::AutoLoginClick() {
    TDesktop::OpenUrl(QUrl(AutoLoginUrl(Settings.LoginName, SessionKey)));
}

void TMainForm::AddUserClick() {
    TAddUserForm add(SettingsForm, this);
    TModal::ExecDialog(add);
    OnlineListBox->viewport()->update();
}

void TMainForm::SuppressNotifyClick() {
    Settings.SuspendNotifications = !Settings.SuspendNotifications;
    if (!Settings.SuspendNotifications) {
        // Announce at the next list update rather than after a whole round of refreshes.
        NotifyCounter = Settings.NotifyDivisor;
    }
}

void TMainForm::OnlineListBoxDblClick() {
    RunDoubleClickAction(Settings.EasyMouseMode);
}

void TMainForm::OnlineListBoxEnterKey() {
    // No key press opened the menu before this one, as the easy mouse mode's first click does.
    RunDoubleClickAction(false);
}

void TMainForm::RunDoubleClickAction(bool easyMouseMode) {
    TDoubleClickInput input;
    input.EasyMouseMode = easyMouseMode;
    input.LoggedIn = LoggedIn;
    input.SessionKeyHeld = !SessionKey.isEmpty();
    const int row = SelectedEntry();
    QString nick;
    if (row >= 0) {
        const TItemDetails& details = *OnlineListBox->Entries().DetailsAt(row);
        nick = OnlineListBox->Entries().NickAt(row);
        input.EntrySelected = true;
        input.HasMessages = details.HasMessages;
        input.HasRooms = details.Rooms != nullptr;
    }
    switch (DoubleClickAction(input)) {
    case TDoubleClickAction::ReadMessages:
        ShowInMsgForm(nick);
        break;
    case TDoubleClickAction::SendMessage:
        OpenSendMessage(nick);
        break;
    case TDoubleClickAction::SendClientMessage:
        OpenSendClientMessage(nick);
        break;
    case TDoubleClickAction::Nothing:
        break;
    }
}
