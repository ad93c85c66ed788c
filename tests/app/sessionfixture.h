#pragma once

// The program's main window and settings dialog against the in-process service stand-in, in a store of their own.
#include "app/mainform.h"
#include "server.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "teststore.h"

#include <memory>

class TSessionFixture {
public:
    std::unique_ptr<TTestStore> TestStore;
    KlabosSim::Server Sim{7, false};
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<TSettingsForm> SettingsForm;

    // The account "demo" and the watched users alice (announced), Bob and cyril, all off-line; the stand-in listens.
    bool Start() {
        TestStore = std::make_unique<TTestStore>();
        if (!TestStore->IsValid()) {
            return false;
        }
        Sim.TheWorld().SetLively(false);
        Sim.TheWorld().AddUser(QStringLiteral("demo"), QStringLiteral("demo"), false);
        for (const char* nick : {"alice", "Bob", "cyril", "stranger"}) {
            Sim.TheWorld().AddUser(QString::fromLatin1(nick), QStringLiteral("heslo"), true);
        }
        if (!Sim.Listen()) {
            return false;
        }
        CreateWindows();
        SettingsForm->UserCheckListBox->ReplaceNicks(
            {QStringLiteral("alice"), QStringLiteral("Bob"), QStringLiteral("cyril")});
        SettingsForm->UserCheckListBox->SetFlag(0, true);
        SettingsForm->SaveNickList();
        return true;
    }

    // The windows as the program creates them; the settings load from the store, then the session's are set.
    void CreateWindows() {
        Form = std::make_unique<TMainForm>();
        SettingsForm = std::make_unique<TSettingsForm>(Form.get());
        Form->SetSettingsForm(SettingsForm.get());
        Settings.LoginName = QStringLiteral("demo");
        Settings.LoginPassword = QStringLiteral("demo");
        Settings.UsingProxy = true;
        Settings.ProxyServer = QStringLiteral("127.0.0.1");
        Settings.ProxyPort = Sim.Port();
        Settings.ReportNetworkErrors = true;
        Settings.AlwaysReconnect = false;
        // As a connect would set it, so that retrieval started without one stays on 127.0.0.1 too.
        Form->HTTPClient->Proxy = Settings.ProxyServer;
        Form->HTTPClient->ProxyPort = QString::number(Settings.ProxyPort);
    }

    // Ends the run as the program does and drops the windows.
    void CloseWindows() {
        Form->close();
        Form->FormDestroy();
        SettingsForm.reset();
        Form.reset();
    }

    ~TSessionFixture() {
        SettingsForm.reset();
        Form.reset();
        TestStore.reset();
    }

    // Requests of one kind ("get", "lidi", "zpravy") the stand-in received.
    QList<KlabosSim::RecordedRequest> Requests(const QString& action) const {
        QList<KlabosSim::RecordedRequest> found;
        for (const KlabosSim::RecordedRequest& request : Sim.Requests()) {
            if (request.Field(QStringLiteral("akce")) == action) {
                found.append(request);
            }
        }
        return found;
    }

    // Whether the session is idle: no request of either client outstanding.
    bool SessionIdle() const {
        return !Form->Connecting && !Form->Transferring && !Form->InMsgBusy &&
               Form->HTTPClient->State() == THttpState::Ready && Form->InMsgHTTPClient->State() == THttpState::Ready;
    }
};
