#include "app/nickmenu.h"

#include "widgets/imagelists.h"

namespace {

TNickMenuItem Separator() {
    TNickMenuItem item;
    item.Separator = true;
    item.Caption = QStringLiteral("-");
    return item;
}

TNickMenuItem Item(const QString& caption, int image, TNickAction action, bool enabled = true) {
    TNickMenuItem item;
    item.Caption = caption;
    item.Image = image;
    item.Action = action;
    item.Enabled = enabled;
    return item;
}

// The rooms (while logged in), then sending to the chat user when the user sits in a named room.
void AppendRoomItems(const TNickMenuInput& input, QList<TNickMenuItem>& menu) {
    const bool firstRoomNamed = !input.Rooms.first().RoomName.isEmpty();
    if (firstRoomNamed && input.LoggedIn) {
        for (const TNickMenuRoom& room : input.Rooms) {
            TNickMenuItem item = Item(RoomCaption(room.RoomName, room.IdleText), RoomImage, TNickAction::EnterRoom);
            item.Details = TUserDetails{input.Nick, room.RoomName, room.RoomId};
            menu.append(item);
        }
    }
    menu.append(Separator());
    if (input.LoggedIn && firstRoomNamed) {
        TNickMenuItem send =
            Item(QStringLiteral("Zpráva na &Klabos"), MessageKlabosImage, TNickAction::SendMessage, input.Watched);
        send.Default = true;
        send.Details = TUserDetails{input.Nick, {}, {}};
        menu.append(send);
    }
}

void AppendEntryItems(const TNickMenuInput& input, QList<TNickMenuItem>& menu) {
    if (input.HasMessages) {
        menu.append(Item(QStringLiteral("Přečíst příchozí &zprávy"), EnvelopeImage, TNickAction::ReadMessages));
        menu.append(Separator());
    }
    if (input.SessionKeyHeld) {
        if (!input.Rooms.isEmpty()) {
            AppendRoomItems(input, menu);
        }
        if (input.LoggedIn) {
            TNickMenuItem send = Item(QStringLiteral("Zpráva na &klienta"), MessageClientImage,
                                      TNickAction::SendClientMessage, input.Watched);
            send.Details = TUserDetails{input.Nick, {}, {}};
            menu.append(send);
            menu.append(Separator());
        }
    }
    menu.append(Item(QStringLiteral("&Komentář"), CommentImage, TNickAction::Comment, input.Watched));
    // A nick no longer watched shows the mark it had, greyed.
    TNickMenuItem notify = Item(QStringLiteral("&Oznamovat"), NotifyImage, TNickAction::Notify, input.Watched);
    notify.Checkable = true;
    notify.Checked = input.Watched ? input.Notify : true;
    menu.append(notify);
    menu.append(Item(QStringLiteral("Odst&ranit"), RemoveUserImage, TNickAction::RemoveUser, input.Watched));
}

} // namespace

QString RoomCaption(const QString& roomName, const QString& idleText) {
    QString caption = roomName;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return caption + QLatin1Char(' ') + idleText;
}

QList<TNickMenuItem> BuildNickMenu(const TNickMenuInput& input) {
    QList<TNickMenuItem> menu;
    if (input.EntrySelected) {
        AppendEntryItems(input, menu);
    }
    if (!menu.isEmpty()) {
        menu.append(Separator());
    }
    menu.append(Item(QStringLiteral("&Auto-Login"), AutoLoginImage, TNickAction::AutoLogin, input.SessionKeyHeld));
    menu.append(Item(QStringLiteral("&Přidej uživatele..."), AddUserImage, TNickAction::AddUser));
    menu.append(Separator());
    TNickMenuItem suppress = Item(QStringLiteral("Po&tlačit oznamování"), -1, TNickAction::SuppressNotify);
    suppress.Checkable = true;
    suppress.Checked = input.SuspendNotifications;
    menu.append(suppress);
    return menu;
}

TDoubleClickAction DoubleClickAction(const TDoubleClickInput& input) {
    if (input.EasyMouseMode || !input.EntrySelected) {
        return TDoubleClickAction::Nothing;
    }
    if (input.HasMessages) {
        return TDoubleClickAction::ReadMessages;
    }
    if (!input.LoggedIn || !input.SessionKeyHeld) {
        return TDoubleClickAction::Nothing;
    }
    return input.HasRooms ? TDoubleClickAction::SendMessage : TDoubleClickAction::SendClientMessage;
}
