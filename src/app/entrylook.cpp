#include "app/entrylook.h"

#include "widgets/imagelists.h"

namespace {

const QColor NewlyArrivedGreen(61, 243, 134);
const QColor OnlineYellow(249, 241, 21);
const QColor OfflineSilver(192, 192, 192);
const QColor SeenRed(249, 55, 55);

int OnlineIcon(const TEntryState& state) {
    if (state.HasRooms) {
        return state.IsClient ? RoomAndClientImage : InRoomImage;
    }
    return state.IsClient ? ClientOnlyImage : OfflineImage;
}

// Icon, text and colour from the service's last reply.
void LookWhileLoggedIn(const TEntryState& state, TEntryLook& look) {
    look.StateIcon = OnlineIcon(state);
    if (!state.HasRooms && !state.IsClient) {
        look.Text = state.Nick;
        look.Colour = OfflineSilver;
        return;
    }
    // Idle minutes are those of the rooms; a user present through the client alone has none to show.
    const QString idle = state.HasRooms ? QStringLiteral(" (%1)").arg(state.MinIdle) : QString();
    if (state.NewlyArrived) {
        look.Text = QStringLiteral("* ") + state.Nick + idle + QStringLiteral(" *");
        look.Colour = NewlyArrivedGreen;
        look.Arial = true;
        look.Underline = true;
    } else {
        look.Text = state.Nick + idle;
        look.Colour = OnlineYellow;
    }
}

// Without a current reply nobody's state is known: the users seen on-line in this run are marked.
void LookWhileLoggedOut(const TEntryState& state, TEntryLook& look) {
    look.StateIcon = OfflineImage;
    if (state.Seen) {
        look.Text = QStringLiteral("? ") + state.Nick;
        look.Colour = SeenRed;
    } else {
        look.Text = state.Nick;
        look.Colour = OfflineSilver;
    }
}

} // namespace

TEntryLook EntryLook(const TEntryState& state) {
    TEntryLook look;
    look.StrikeOut = !state.Watched;
    look.Bold = state.Watched && state.Notify;
    if (state.LoggedIn) {
        LookWhileLoggedIn(state, look);
    } else {
        LookWhileLoggedOut(state, look);
    }
    if (state.HasMessages) {
        look.StateIcon = -1;
        look.Envelope = true;
    }
    return look;
}
