#pragma once

#include <QString>
#include <memory>

// One room in which an on-line user sits, as the people reply names it; an entry's rooms form a chain.
struct TRoomObject {
    QString RoomName;
    QString RoomId;
    QString IdleText; // the user's idle minutes in this room, as the service wrote them
    std::unique_ptr<TRoomObject> Next;

    // The rest of the chain is freed one room at a time. A broken reply may name a user in a million rooms; freeing
    // each room from inside its predecessor's destructor would nest as many calls and overflow the stack.
    ~TRoomObject() {
        std::unique_ptr<TRoomObject> rest = std::move(Next);
        while (rest) {
            rest = std::move(rest->Next); // detaches the follower before the room is freed
        }
    }
};
