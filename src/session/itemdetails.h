#pragma once

#include "session/roomobject.h"

#include <QtGlobal>
#include <memory>

// What the on-line list knows about one of its entries. An off-line watched user has no rooms, is no client
// user, and has everything else at zero.
struct TItemDetails {
    std::unique_ptr<TRoomObject> Rooms; // first room of the chain; none when the user sits in no room
    bool IsClient = false;              // present through the client
    qint32 MinIdle = 0;                 // the smallest idle minutes over the rooms
    qint64 ArrivalTime = 0;             // when the user came on-line (kept in the arrival list's records only)
    bool HasMessages = false;           // messages from this user are stored

    int RoomCount() const {
        int count = 0;
        for (const TRoomObject* room = Rooms.get(); room; room = room->Next.get()) {
            ++count;
        }
        return count;
    }
};
