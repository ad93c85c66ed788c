#pragma once

#include <QIcon>
#include <QList>

// The main window's image lists, by the indexes the list and the nick menu share.
enum TMenuImage {
    RoomImage = 0,
    PadlockImage = 1,
    AddUserImage = 2,
    RemoveUserImage = 3,
    NotifyImage = 4,
    MessageKlabosImage = 5,
    CommentImage = 6,
    RedBlackFigureImage = 7,
    AutoLoginImage = 8,
    HouseImage = 9,
    EnvelopeImage = 10,
    MessageClientImage = 11,
    InRoomImage = 12,
    ClientOnlyImage = 13,
    RoomAndClientImage = 14,
    OfflineImage = 15,
};

enum TMiscImage { TrayNormalImage = 0, TrayMessageImage = 1, TrayBlankImage = 2 };

// 16 pictures of 16 x 16: the nick menu's items and the list's state icons.
QList<QIcon> CreateMenuImageList();
// 3 pictures of 16 x 16 for the tray icon.
QList<QIcon> CreateMiscImageList();
