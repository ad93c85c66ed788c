#pragma once

// The main window with its settings dialog in a store of their own, and ways to put entries into its on-line list
// as a people reply would.
#include "app/mainform.h"
#include "app/onlinelistbox.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "teststore.h"

#include <QList>
#include <memory>

// A room of an entry: name, id and idle minutes.
struct TTestRoom {
    QString Name;
    QString Id;
    int Idle = 0;
};
using TTestRooms = QList<TTestRoom>;
Q_DECLARE_METATYPE(TTestRooms)

class TListFixture {
public:
    TTestStore Store;
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<TSettingsForm> SettingsForm;

    TListFixture() {
        Form = std::make_unique<TMainForm>();
        SettingsForm = std::make_unique<TSettingsForm>(Form.get());
        Form->SetSettingsForm(SettingsForm.get());
        Settings.LoginName = QStringLiteral("demo");
    }
    ~TListFixture() {
        SettingsForm.reset();
        Form.reset();
    }
    TListFixture(const TListFixture&) = delete;
    TListFixture& operator=(const TListFixture&) = delete;

    TUserCheckListBox& Watched() { return *SettingsForm->UserCheckListBox; }
    TOnlineListBox& List() { return *Form->OnlineListBox; }

    void Watch(const QString& nick, bool notify) {
        const int index = Watched().AddNick(nick);
        Watched().SetFlag(index, notify);
    }

    // Appends an entry with the rooms in chain order; returns its row.
    int AddEntry(const QString& nick, const TTestRooms& rooms = {}, bool client = false, bool messages = false) {
        auto details = std::make_unique<TItemDetails>();
        details->IsClient = client;
        details->HasMessages = messages;
        details->MinIdle = client ? 65535 : 0;
        std::unique_ptr<TRoomObject>* next = &details->Rooms;
        for (const TTestRoom& room : rooms) {
            *next = std::make_unique<TRoomObject>();
            (*next)->RoomName = room.Name;
            (*next)->RoomId = room.Id;
            (*next)->IdleText = QStringLiteral("(%1)").arg(room.Idle);
            next = &(*next)->Next;
            details->MinIdle = room.Name == rooms.first().Name ? room.Idle : qMin(details->MinIdle, room.Idle);
        }
        const int row = List().Entries().Add(nick, std::move(details));
        List().EntriesChanged();
        return row;
    }

    // Shows the window and lays the list out, so that rows have places on the screen.
    bool ShowWindow() {
        Form->show();
        return QTest::qWaitForWindowExposed(Form.get());
    }
    QPoint RowCentre(int row) { return List().visualRect(List().model()->index(row, 0)).center(); }
};
