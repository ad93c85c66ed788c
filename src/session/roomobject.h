#pragma once

#include <QString>
#include <memory>

// One room in which an on-line user sits, as the people reply names it; an entry's rooms form a chain.
struct TRoomObject {
    QString RoomName;
    QString RoomId;
    QString IdleText; // the user's idle minutes in this room, as the service wrote them
    std::unique_ptr<TRoomObject> Next;
};
