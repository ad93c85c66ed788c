// The on-line list's painting as the main window feeds it: each entry's state read afresh at every paint (and
// every question of a screen reader) from the entry, the arrival list, the watched-user list and the session.
#include "app/entrylook.h"
#include "app/mainform.h"
#include "app/onlinelistbox.h"
#include "app/onlinelistdelegate.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"

void TMainForm::InstallListPainting() {
    OnlineListBox->setItemDelegate(new TOnlineListDelegate(
        MenuImageList, [this](int row) { return OnlineListBoxLook(row); }, OnlineListBox));
    OnlineListBox->SetSpokenTextOf([this](int row) { return EntrySpokenText(OnlineListBoxState(row)); });
}

TEntryLook TMainForm::OnlineListBoxLook(int row) {
    return EntryLook(OnlineListBoxState(row));
}

TEntryState TMainForm::OnlineListBoxState(int row) {
    TEntryState state;
    const TOnlineList& entries = OnlineListBox->Entries();
    if (row < 0 || row >= entries.Count()) {
        return state;
    }
    const TItemDetails& details = *entries.DetailsAt(row);
    state.Nick = entries.NickAt(row);
    state.HasRooms = details.Rooms != nullptr;
    state.IsClient = details.IsClient;
    state.MinIdle = details.MinIdle;
    state.HasMessages = details.HasMessages;
    state.LoggedIn = LoggedIn;
    if (SettingsForm) {
        const TUserCheckListBox* watched = SettingsForm->UserCheckListBox;
        const int index = watched->IndexOfNick(state.Nick);
        state.Watched = index >= 0;
        state.Notify = state.Watched && watched->FlagAt(index);
    }
    if (const TArrivalRecord* arrival = ArrivalList.Find(state.Nick)) {
        state.Seen = true;
        state.NewlyArrived = NewlyArrived(*arrival);
    }
    return state;
}
