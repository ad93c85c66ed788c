#pragma once

#include <QList>
#include <QString>
#include <optional>

// What a menu item that acts on a particular nick carries: the nick, and for a room item the room. The room is a
// copy, so an item stays valid while the list it was built from is rebuilt under an open menu.
struct TUserDetails {
    QString Nick;
    QString RoomName;
    QString RoomId;
};

enum class TNickAction {
    None,
    ReadMessages,
    EnterRoom,
    SendMessage,
    SendClientMessage,
    Comment,
    Notify,
    RemoveUser,
    AutoLogin,
    AddUser,
    SuppressNotify,
};

// One item of the nick menu, or a separator.
struct TNickMenuItem {
    bool Separator = false;
    QString Caption;
    int Image = -1; // index in MenuImageList; -1 for none
    TNickAction Action = TNickAction::None;
    bool Enabled = true;
    bool Checkable = false;
    bool Checked = false;
    bool Default = false; // shown bold
    std::optional<TUserDetails> Details;
};

struct TNickMenuRoom {
    QString RoomName;
    QString RoomId;
    QString IdleText;
};

// What the menu is built from: the entry under the pointer (if any) and the session's and settings' state.
struct TNickMenuInput {
    bool EntrySelected = false;
    QString Nick;
    bool HasMessages = false;
    QList<TNickMenuRoom> Rooms; // in chain order
    bool Watched = false;
    bool Notify = false; // the watched nick's notify flag
    bool SessionKeyHeld = false;
    bool LoggedIn = false;
    bool SuspendNotifications = false;
};

// The nick menu's items in order: the entry's own items (messages, rooms, sending, comment, notify flag, removal)
// when an entry is selected, then the items that need no entry (auto-login, adding a user, suppressing
// announcements).
QList<TNickMenuItem> BuildNickMenu(const TNickMenuInput& input);

// A room name as a menu caption: every "&" doubled, so that the menu shows it as written.
QString RoomCaption(const QString& roomName, const QString& idleText);

// What a double click on the list does.
enum class TDoubleClickAction { Nothing, ReadMessages, SendMessage, SendClientMessage };

struct TDoubleClickInput {
    bool EasyMouseMode = false; // the single click opens the menu already
    bool EntrySelected = false;
    bool HasMessages = false;
    bool HasRooms = false;
    bool LoggedIn = false;
    bool SessionKeyHeld = false;
};

// Stored messages are read first; otherwise, while logged in, a message goes to the chat user sitting in a room,
// or to the client user.
TDoubleClickAction DoubleClickAction(const TDoubleClickInput& input);
