#include "app/entrylook.h"

#include "widgets/imagelists.h"

#include <QStringList>

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

// "1 minuta", "3 minuty", "5 minut": the noun after a number, as Czech bends it.
QString Minutes(int count) {
    if (count == 1) {
        return QStringLiteral("1 minuta");
    }
    const QString noun = count >= 2 && count <= 4 ? QStringLiteral("minuty") : QStringLiteral("minut");
    return QString::number(count) + QLatin1Char(' ') + noun;
}

QStringList SpokenStateWhileLoggedIn(const TEntryState& state) {
    QStringList parts;
    if (!state.HasRooms && !state.IsClient) {
        parts << QStringLiteral("mimo chat");
        return parts;
    }
    if (state.NewlyArrived) {
        parts << QStringLiteral("nově příchozí");
    }
    if (state.HasRooms) {
        parts << (state.IsClient ? QStringLiteral("v místnosti i v klientovi") : QStringLiteral("v místnosti"));
        parts << Minutes(state.MinIdle) + QStringLiteral(" bez činnosti");
    } else {
        parts << QStringLiteral("v klientovi");
    }
    return parts;
}

} // namespace

QString EntrySpokenText(const TEntryState& state) {
    QStringList parts{state.Nick};
    if (state.LoggedIn) {
        parts << SpokenStateWhileLoggedIn(state);
    } else {
        parts << QStringLiteral("stav neznámý");
        if (state.Seen) {
            parts << QStringLiteral("dříve na chatu");
        }
    }
    if (state.HasMessages) {
        parts << QStringLiteral("nepřečtené zprávy");
    }
    return parts.join(QStringLiteral(", "));
}

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
