#pragma once

#include <QColor>
#include <QString>

// What the on-line list knows about one entry when it paints it.
struct TEntryState {
    QString Nick;
    bool HasRooms = false;    // the user sits in at least one room
    bool IsClient = false;    // present through the client
    int MinIdle = 0;          // the smallest idle minutes over the rooms
    bool HasMessages = false; // messages from this user are stored
    bool Watched = false;     // the nick is in the watched-user list
    bool Notify = false;      // its notify flag
    bool Seen = false;        // on-line at some point in this run
    bool NewlyArrived = false;
    bool LoggedIn = false; // the list shows the service's last reply
};

// How the entry is drawn: a state icon (or the envelope in its place, drawn after the text), the text, its colour
// and its font's face and styles.
struct TEntryLook {
    int StateIcon = -1;    // index in MenuImageList; -1 when the envelope stands in its place
    bool Envelope = false; // the envelope is drawn in the icon's place after the text
    QString Text;
    QColor Colour;
    bool Arial = false; // Arial instead of the list's own face
    bool Underline = false;
    bool Bold = false;
    bool StrikeOut = false;
};

// The look of one entry: the state icon and text of the service's last reply while logged in, a grey dot with
// the seen users marked in red otherwise; bold for a notify flag, strike-out for a nick no longer watched.
TEntryLook EntryLook(const TEntryState& state);

// What a screen reader says for the entry, in Czech: the nick, its state (newly arrived, in a room, on the client,
// off-line, or unknown while logged out), the idle minutes and unread messages; what the look shows, for the ear.
QString EntrySpokenText(const TEntryState& state);
