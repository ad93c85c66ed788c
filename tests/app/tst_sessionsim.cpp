// The session end to end: the program's own windows on the offscreen platform against the service stand-in, the
// program's clock stepped by the tests.
#include "app/notifyform.h"
#include "app/onlinelistbox.h"
#include "sessionfixture.h"
#include "store/clocktimer.h"
#include "store/testing.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/modal.h"
#include "widgets/queuedboxes.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

namespace {

constexpr int NetTimeout = 10000;

// The entries of the on-line list: the nick and, for an on-line user, the rooms.
QStringList Entries(const TMainForm& form) {
    QStringList lines;
    const TOnlineList& list = form.OnlineListBox->Entries();
    for (int index = 0; index < list.Count(); ++index) {
        QString line = list.NickAt(index);
        for (const TRoomObject* room = list.DetailsAt(index)->Rooms.get(); room; room = room->Next.get()) {
            line += QLatin1Char(' ') + room->RoomId + room->IdleText;
        }
        lines << line;
    }
    return lines;
}

QStringList MessageIdsAsked(const TSessionFixture& fixture) {
    QStringList ids;
    for (const KlabosSim::RecordedRequest& request : fixture.Requests(QStringLiteral("zpravy"))) {
        ids << request.Field(QStringLiteral("last_msg"));
    }
    return ids;
}

// A statement on the store's database through a connection of its own, as another program would run it.
bool RunSql(const char* sql) {
    sqlite3* database = nullptr;
    const bool done = sqlite3_open(QFile::encodeName(SysReg().DatabasePath()).constData(), &database) == SQLITE_OK &&
                      sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(database);
    return done;
}

} // namespace

Q_DECLARE_METATYPE(KlabosSim::Server::DropKind)

class TestSessionSim : public QObject {
    Q_OBJECT

    std::unique_ptr<TSessionFixture> Fixture;

    // Presses the connect button and waits until the list has arrived and retrieval has ended.
    bool LogIn() {
        Fixture->Form->ConnectSpeedButtonClick();
        return QTest::qWaitFor([this] { return Fixture->Form->LoggedIn && Fixture->SessionIdle(); }, NetTimeout);
    }

private Q_SLOTS:
    void init() {
        SetSteppedClock(true);
        Fixture = std::make_unique<TSessionFixture>();
        QVERIFY(Fixture->Start());
    }
    void cleanup() {
        Fixture.reset();
        SetSteppedClock(false);
    }

    void loginThenPeopleList() {
        KlabosSim::World& world = Fixture->Sim.TheWorld();
        world.EnterRoom(QStringLiteral("alice"), QStringLiteral("12"), 5);
        world.EnterRoom(QStringLiteral("alice"), QStringLiteral("27"), 2);
        world.SetClient(QStringLiteral("cyril"), true);
        QSignalSpy runs(Fixture->Form->NotifyForm.get(), &TNotifyForm::RunStarted);
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        QCOMPARE(Fixture->Requests(QStringLiteral("get")).size(), 1);
        const auto people = Fixture->Requests(QStringLiteral("lidi"));
        QCOMPARE(people.size(), 1);
        QVERIFY(!form.SessionKey.isEmpty());
        QCOMPARE(people.first().Field(QStringLiteral("heslo")), form.SessionKey);
        QCOMPARE(people.first().Field(QStringLiteral("lidi")), QStringLiteral("'alice','Bob','cyril'"));
        QVERIFY(people.first().ViaProxy);
        QCOMPARE(Entries(form), (QStringList{"alice 12(5) 27(2)", "cyril", "Bob"}));
        QVERIFY(form.OnlineListBox->Entries().DetailsAt(1)->IsClient);
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first().first().toStringList(), QStringList{"alice"});
        QCOMPARE(form.LoginPhase, 2);
        QVERIFY(form.RefreshTimer->IsActive());
        QVERIFY(ShownBoxes().isEmpty());
        // Retrieval ran once and found nothing.
        QCOMPARE(MessageIdsAsked(*Fixture), QStringList{"0"});
    }

    void refreshReusesTheKey() {
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        const QString key = form.SessionKey;
        Fixture->Sim.TheWorld().EnterRoom(QStringLiteral("Bob"), QStringLiteral("1"), 0);
        StepClock((Settings.SessionRefresh + 1) * 1000 - 1);
        QCOMPARE(Fixture->Requests(QStringLiteral("lidi")).size(), 1);
        StepClock(1); // SessionRefresh + 1 seconds after the reply
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->Requests(QStringLiteral("lidi")).size() == 2 && form.LoggedIn &&
                                     Fixture->SessionIdle(),
                                 NetTimeout);
        QCOMPARE(Fixture->Requests(QStringLiteral("get")).size(), 1);
        QCOMPARE(Fixture->Requests(QStringLiteral("lidi")).last().Field(QStringLiteral("heslo")), key);
        QCOMPARE(Entries(form).first(), QStringLiteral("Bob 1(0)"));
    }

    void wrongPasswordIsAlwaysReported() {
        Settings.LoginPassword = QStringLiteral("spatne");
        Settings.ReportNetworkErrors = false;
        Settings.AlwaysReconnect = true;
        Fixture->SettingsForm->AlwaysReconnectCheckBox->setChecked(true);
        TMainForm& form = *Fixture->Form;
        form.ConnectSpeedButtonClick();
        QTRY_COMPARE_WITH_TIMEOUT(ShownBoxes().size(), 1, NetTimeout);
        QCOMPARE(ShownBoxes().first().Caption, QStringLiteral("Vyskytla se chyba v přihlašování"));
        QCOMPARE(ShownBoxes().first().Icon, QMessageBox::Critical);
        QVERIFY(!Settings.AlwaysReconnect);
        QVERIFY(!Fixture->SettingsForm->AlwaysReconnectCheckBox->isChecked());
        QVERIFY(form.SessionKey.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->SessionIdle(), NetTimeout);
        QVERIFY(!form.LoggedIn);
        QCOMPARE(Fixture->Requests(QStringLiteral("lidi")).size(), 0);
    }

    void refusedConnectionIsReported_data() {
        QTest::addColumn<bool>("reportErrors");
        QTest::addColumn<bool>("alwaysReconnect");
        QTest::addColumn<bool>("reported");
        QTest::addColumn<bool>("proxyRefuses"); // else the connection is refused
        QTest::addColumn<QString>("text");
        const QString refused = QStringLiteral("Server korektně neodpověděl.\r\nZkontroluje připojení a nastavení "
                                               "proxy serveru.\r\n\r\nChyba: 10061");
        QTest::newRow("errors reported") << true << true << true << false << refused;
        QTest::newRow("wanted without reconnect") << false << false << true << false << refused;
        QTest::newRow("silent while reconnecting") << false << true << false << false << refused;
        QTest::newRow("wrong proxy password: the proxy's status")
            << true << true << true << true
            << "Proxy server odmítl přihlašovací jméno nebo heslo.\r\nZkontrolujte nastavení proxy serveru.\r\n"
               "\r\nChyba: HTTP 407 Proxy Authentication Required";
    }
    void refusedConnectionIsReported() {
        QFETCH(bool, reportErrors);
        QFETCH(bool, alwaysReconnect);
        QFETCH(bool, reported);
        QFETCH(bool, proxyRefuses);
        QFETCH(QString, text);
        Settings.ReportNetworkErrors = reportErrors;
        Settings.AlwaysReconnect = alwaysReconnect;
        if (proxyRefuses) {
            Fixture->Sim.SetProxyAuth(QStringLiteral("proxyuser"), QStringLiteral("tajne"));
            Settings.UsingProxyAuthentization = true;
            Settings.ProxyLoginName = QStringLiteral("proxyuser");
            Settings.ProxyPassword = QStringLiteral("spatne");
        } else {
            Fixture->Sim.StopListening();
        }
        TMainForm& form = *Fixture->Form;
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->SessionIdle() && !form.Connecting, NetTimeout);
        // A report comes with the request's end, which has been handled; its box follows from the event loop.
        QTRY_VERIFY_WITH_TIMEOUT(form.ErrorBoxes->Idle(), NetTimeout);
        QCOMPARE(ShownBoxes().size(), reported ? 1 : 0);
        if (reported) {
            QCOMPARE(ShownBoxes().first().Caption, QStringLiteral("Chyba připojování"));
            QCOMPARE(ShownBoxes().first().Text, text);
            QVERIFY(!Settings.AlwaysReconnect);
        }
        QVERIFY(!form.LoggedIn);
        QVERIFY(form.ConnectSpeedButton->isEnabled());
    }

    void watchdogRestartsAStuckConnect() {
        TMainForm& form = *Fixture->Form;
        form.ConnectionWanted = true;
        form.Connecting = true; // a connect that never got through
        StepClock(TMainForm::ConnectTimeLimit - 1);
        QCOMPARE(Fixture->Requests(QStringLiteral("get")).size(), 0);
        StepClock(1); // 8.4 s after it began, it is restarted
        QTRY_VERIFY_WITH_TIMEOUT(form.LoggedIn && Fixture->SessionIdle(), NetTimeout);
        QCOMPARE(Fixture->Requests(QStringLiteral("get")).size(), 1);
    }

    void reconnectsWhenTheServiceComesBack() {
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        const QString key = form.SessionKey;
        Settings.ReportNetworkErrors = false;
        Settings.AlwaysReconnect = true;
        const quint16 port = Fixture->Sim.Port();
        Fixture->Sim.StopListening();
        form.ConnectSpeedButtonClick(); // an immediate refresh: refused, silently
        QTRY_VERIFY_WITH_TIMEOUT(!form.LoggedIn && !form.Connecting && Fixture->SessionIdle(), NetTimeout);
        QVERIFY(ShownBoxes().isEmpty());
        QVERIFY(!form.RedDiodShape->isHidden() && form.GreenDiodShape->isHidden());
        // "NET" blinks while a reconnect is pending: shown at the first step, hidden at the next.
        QVERIFY(form.AlwaysReconnectLabel->isHidden());
        StepClock(TMainForm::BlinkStep - 1);
        QVERIFY(form.AlwaysReconnectLabel->isHidden());
        StepClock(1);
        QVERIFY(!form.AlwaysReconnectLabel->isHidden());
        StepClock(TMainForm::BlinkStep);
        QVERIFY(form.AlwaysReconnectLabel->isHidden());

        // The reconnect comes 8.4 s after the refresh began (the time the connect took counts as well).
        QVERIFY(Fixture->Sim.Listen(port));
        const qsizetype peopleBefore = Fixture->Requests(QStringLiteral("lidi")).size();
        StepClock(TMainForm::ConnectTimeLimit - 2 * TMainForm::BlinkStep - 1);
        QVERIFY(!form.Connecting && !form.Transferring);
        StepClock(1);
        QVERIFY(form.Connecting);
        QTRY_VERIFY_WITH_TIMEOUT(form.LoggedIn && Fixture->SessionIdle(), NetTimeout);
        // The old key still holds: no new login.
        QCOMPARE(Fixture->Requests(QStringLiteral("get")).size(), 1);
        QCOMPARE(Fixture->Requests(QStringLiteral("lidi")).size(), peopleBefore + 1);
        QCOMPARE(Fixture->Requests(QStringLiteral("lidi")).last().Field(QStringLiteral("heslo")), key);
        QVERIFY(!form.GreenDiodShape->isHidden() && form.RedDiodShape->isHidden());
        QVERIFY(form.AlwaysReconnectLabel->isHidden());
    }

    void waitingMessagesAreFetchedInTurn() {
        KlabosSim::World& world = Fixture->Sim.TheWorld();
        QStringList ids;
        ids << QString::number(
            world.QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Ahoj")));
        ids << QString::number(
            world.QueueMessage(QStringLiteral("demo"), QStringLiteral("stranger"), QStringLiteral("Kdo jsi?")));
        ids << QString::number(
            world.QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Čau <3")));
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        QCOMPARE(MessageIdsAsked(*Fixture), (QStringList{"0", ids[0], ids[1], ids[2]}));
        QCOMPARE(form.LastMsgId, ids[2]);
        // The unknown sender is watched now, without announcements.
        const int stranger = Fixture->SettingsForm->UserCheckListBox->IndexOfNick(QStringLiteral("stranger"));
        QVERIFY(stranger >= 0);
        QVERIFY(!Fixture->SettingsForm->UserCheckListBox->FlagAt(stranger));
        QVERIFY(form.HasStoredMessages);
        QVERIFY(DesktopCalls().contains(QStringLiteral("beep"))); // no inmsg.wav here

        TSysReg& store = SysReg();
        store.OpenKey(MessagesKeyOf(QStringLiteral("alice")), false);
        const QStringList stamps = store.GetValueNames();
        QCOMPARE(stamps.size(), 2);
        QVERIFY(store.ReadString(stamps.last()).endsWith(QStringLiteral("] Čau <3")));
        store.CloseKey();

        // Messages survive a restart of the program, and their senders are marked at the first show.
        Fixture->CloseWindows();
        Fixture->CreateWindows();
        Fixture->Form->show();
        const TOnlineList& entries = Fixture->Form->OnlineListBox->Entries();
        const int strangerEntry = entries.IndexOf(QStringLiteral("stranger"));
        QVERIFY(strangerEntry >= 0);
        QVERIFY(entries.DetailsAt(strangerEntry)->HasMessages);
        QVERIFY(entries.DetailsAt(entries.IndexOf(QStringLiteral("alice")))->HasMessages);
        QVERIFY(!entries.DetailsAt(entries.IndexOf(QStringLiteral("Bob")))->HasMessages);
        QVERIFY(Fixture->Form->HasStoredMessages);
    }

    // The service may give two messages of one sender the same time stamp: both are kept, in the order they came.
    // The same message handed out again (same stamp, same text) is kept once.
    void messagesWithOneTimeStampAreAllKept() {
        KlabosSim::World& world = Fixture->Sim.TheWorld();
        world.SetEqualStamps(true);
        for (const char* text : {"První", "Druhá", "Třetí"}) {
            world.QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QString::fromUtf8(text));
        }
        QVERIFY(LogIn());
        const QString key = MessagesKeyOf(QStringLiteral("alice"));
        const QStringList names = StoredNames(key);
        QCOMPARE(names.size(), 3);
        QCOMPARE(names.mid(1), (QStringList{names[0] + "-2", names[0] + "-3"}));
        QVERIFY(std::get<QString>(StoredValue(key, names[2])).endsWith(QStringLiteral("] Třetí")));

        world.QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Druhá"));
        Fixture->Form->ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->Requests(QStringLiteral("zpravy")).size() == 6 && Fixture->SessionIdle(),
                                 NetTimeout);
        QCOMPARE(StoredNames(key), names);
    }

    // A message cut short is asked for again at the next refresh, and stepped past only when it comes cut again:
    // what came of it is stored, marked, the user told, and the messages after it follow.
    void cutMessageIsSteppedPastWhenCutAgain_data() {
        QTest::addColumn<int>("cuts"); // how many refreshes in a row get the first message cut in half
        QTest::addColumn<QString>("stored");
        QTest::newRow("cut once: read whole at the next refresh") << 1 << "Tahle zpráva přijde useknutá na půl cesty";
        QTest::newRow("cut twice: what came is kept") << 2 << "Tahle zpr […]";
    }
    void cutMessageIsSteppedPastWhenCutAgain() {
        QFETCH(int, cuts);
        QFETCH(QString, stored);
        KlabosSim::Server& sim = Fixture->Sim;
        sim.TheWorld().QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"),
                                    QStringLiteral("Tahle zpráva přijde useknutá na půl cesty"));
        const QString last = QString::number(
            sim.TheWorld().QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Ahoj")));
        connect(&sim, &KlabosSim::Server::RequestRecorded, this, [&sim, &cuts](const KlabosSim::RecordedRequest& r) {
            if (r.Field(QStringLiteral("akce")) == QLatin1String("lidi") && cuts-- > 0) {
                sim.DropNext(1, KlabosSim::Server::DropKind::Cut); // the retrieval after this refresh
            }
        });
        TMainForm& form = *Fixture->Form;
        for (int refresh = 1; refresh <= 3 && form.LastMsgId != last; ++refresh) {
            form.ConnectSpeedButtonClick();
            QTRY_VERIFY_WITH_TIMEOUT(Fixture->Requests(QStringLiteral("lidi")).size() == refresh && form.LoggedIn &&
                                         Fixture->SessionIdle(),
                                     NetTimeout);
        }
        const QString key = MessagesKeyOf(QStringLiteral("alice"));
        const QStringList names = StoredNames(key);
        QCOMPARE(names.size(), 2);
        QVERIFY(std::get<QString>(StoredValue(key, names[0])).endsWith(QStringLiteral("] ") + stored));
        QCOMPARE(form.LastMsgId, last);
        QTRY_VERIFY_WITH_TIMEOUT(form.ErrorBoxes->Idle(), NetTimeout);
        QCOMPARE(ShownBoxes().size(), stored.endsWith(QStringLiteral("[…]")) ? 1 : 0);
    }

    // A failed retrieval leaves the session as it is: no reconnect sooner than the next refresh, which asks for the
    // message again.
    void failedRetrievalWaitsForTheRefresh_data() {
        QTest::addColumn<bool>("proxyRefuses"); // else the connection is reset
        QTest::newRow("connection reset") << false;
        QTest::newRow("proxy refuses the credentials") << true;
    }
    void failedRetrievalWaitsForTheRefresh() {
        QFETCH(bool, proxyRefuses);
        Settings.ReportNetworkErrors = false;
        Settings.AlwaysReconnect = true;
        KlabosSim::Server& sim = Fixture->Sim;
        const QString id = QString::number(
            sim.TheWorld().QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Ahoj")));
        connect(&sim, &KlabosSim::Server::RequestRecorded, this,
                [&sim, proxyRefuses](const KlabosSim::RecordedRequest& r) {
                    if (r.Field(QStringLiteral("akce")) != QLatin1String("lidi")) {
                        return;
                    }
                    if (proxyRefuses) {
                        sim.SetProxyAuth(QStringLiteral("proxyuser"), QStringLiteral("tajne"));
                    } else {
                        sim.DropNext(1, KlabosSim::Server::DropKind::Reset);
                    }
                });
        TMainForm& form = *Fixture->Form;
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(!Fixture->Requests(QStringLiteral("zpravy")).isEmpty() && Fixture->SessionIdle(),
                                 NetTimeout);
        disconnect(&sim, &KlabosSim::Server::RequestRecorded, this, nullptr);
        sim.SetProxyAuth(QString(), QString());
        QVERIFY(form.LoggedIn);
        QCOMPARE(form.LastMsgId, QStringLiteral("0"));
        StepClock(TMainForm::ConnectTimeLimit);
        QVERIFY(!form.Connecting && !form.Transferring);
        QCOMPARE(Fixture->Requests(QStringLiteral("lidi")).size(), 1);
        StepClock((Settings.SessionRefresh + 1) * 1000 - TMainForm::ConnectTimeLimit);
        QTRY_VERIFY_WITH_TIMEOUT(form.LastMsgId == id && Fixture->SessionIdle(), NetTimeout);
        QCOMPARE(Fixture->Requests(QStringLiteral("lidi")).size(), 2);
        QCOMPARE(Fixture->Requests(QStringLiteral("get")).size(), 1);
        QVERIFY(ShownBoxes().isEmpty());
    }

    // Retrieval never runs beside a session request: asked for meanwhile, it goes out once that request is done.
    void retrievalWaitsForTheSessionRequest() {
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        const QString id = QString::number(Fixture->Sim.TheWorld().QueueMessage(
            QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Ahoj")));
        QList<THttpState> sessionStates; // the session client's, whenever a retrieval starts
        connect(form.InMsgHTTPClient, &THttpClient::OnStateChange, this, [&] {
            if (form.InMsgHTTPClient->State() == THttpState::NotConnected) {
                sessionStates << form.HTTPClient->State();
            }
        });
        Fixture->Sim.SetDelay(500); // holds the refresh's reply a while
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->Requests(QStringLiteral("lidi")).size() == 2, NetTimeout);
        form.RetrieveInMessages();
        QVERIFY(form.InMsgBusy);
        QCOMPARE(form.InMsgHTTPClient->State(), THttpState::Ready);
        Fixture->Sim.SetDelay(0);
        QTRY_VERIFY_WITH_TIMEOUT(form.LastMsgId == id && Fixture->SessionIdle(), NetTimeout);
        QVERIFY(!sessionStates.isEmpty());
        QCOMPARE(sessionStates, QList<THttpState>(sessionStates.size(), THttpState::Ready));
        QCOMPARE(MessageIdsAsked(*Fixture), (QStringList{"0", "0", id}));
    }

    void messageTheStoreRefusesStaysWithTheService() {
        const QString id = QString::number(Fixture->Sim.TheWorld().QueueMessage(
            QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Ahoj")));
        // The store takes no message, as on a full disk.
        QVERIFY(RunSql("CREATE TRIGGER refuse BEFORE INSERT ON entries WHEN (SELECT path FROM keys WHERE id = "
                       "NEW.key_id) LIKE 'SOFTWARE\\Velmor\\Cvrlik\\Messages\\%' BEGIN SELECT RAISE(ABORT, "
                       "'disk full'); END"));
        TMainForm& form = *Fixture->Form;
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(!MessageIdsAsked(*Fixture).isEmpty() && Fixture->SessionIdle(), NetTimeout);
        // Not stored, so not confirmed: the service keeps it.
        QVERIFY(!MessageIdsAsked(*Fixture).contains(id));
        QVERIFY(StoredNames(MessagesKeyOf(QStringLiteral("alice"))).isEmpty());
        QVERIFY(ShownBoxes().isEmpty());

        QVERIFY(RunSql("DROP TRIGGER refuse"));
        form.ConnectSpeedButtonClick(); // the next refresh
        QTRY_VERIFY_WITH_TIMEOUT(MessageIdsAsked(*Fixture).contains(id) && Fixture->SessionIdle(), NetTimeout);
        QCOMPARE(StoredNames(MessagesKeyOf(QStringLiteral("alice"))).size(), 1);
    }

    void errorPageEmptiesTheList() {
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        Fixture->Sim.FailNext(1);
        form.ConnectSpeedButtonClick();
        QTRY_COMPARE_WITH_TIMEOUT(ShownBoxes().size(), 1, NetTimeout);
        QCOMPARE(ShownBoxes().first().Caption, QStringLiteral("Chybná odezva serveru"));
        QVERIFY(Entries(form).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->SessionIdle(), NetTimeout);
        // The next refresh runs as usual.
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(form.LoggedIn && Fixture->SessionIdle() && Entries(form).size() == 3, NetTimeout);
    }

    void expiredKeyLogsInAgain() {
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        Settings.ReportNetworkErrors = false;
        Fixture->Sim.TheWorld().ExpireSessions();
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->Requests(QStringLiteral("lidi")).size() == 2 && Fixture->SessionIdle(),
                                 NetTimeout);
        QVERIFY(Entries(form).isEmpty());
        QVERIFY(ShownBoxes().isEmpty());
        QVERIFY(form.SessionKey.isEmpty());
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(Entries(form).size() == 3 && form.LoggedIn && Fixture->SessionIdle(), NetTimeout);
        QCOMPARE(Fixture->Requests(QStringLiteral("get")).size(), 2);
    }

    void requestWithoutAReplyDoesNotStickTheSession_data() {
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<KlabosSim::Server::DropKind>("kind");
        QTest::newRow("login closed without a byte") << "get" << KlabosSim::Server::DropKind::Close;
        QTest::newRow("login reset") << "get" << KlabosSim::Server::DropKind::Reset;
        QTest::newRow("first people request closed without a byte") << "lidi" << KlabosSim::Server::DropKind::Close;
        QTest::newRow("first people request reset") << "lidi" << KlabosSim::Server::DropKind::Reset;
    }
    void requestWithoutAReplyDoesNotStickTheSession() {
        QFETCH(QString, dropped);
        QFETCH(KlabosSim::Server::DropKind, kind);
        Settings.ReportNetworkErrors = false;
        Settings.AlwaysReconnect = true;
        KlabosSim::Server& sim = Fixture->Sim;
        if (dropped == QLatin1String("get")) {
            sim.DropNext(1, kind);
        } else {
            // The people request follows the login reply: the drop is armed once the login has been answered.
            connect(&sim, &KlabosSim::Server::RequestRecorded, this, [&sim, kind](const KlabosSim::RecordedRequest& r) {
                if (r.Field(QStringLiteral("akce")) == QLatin1String("get")) {
                    sim.DropNext(1, kind);
                }
            });
        }
        TMainForm& form = *Fixture->Form;
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(!Fixture->Requests(dropped).isEmpty() &&
                                     Fixture->Requests(dropped).first().Note.startsWith("dropped"),
                                 NetTimeout);
        // No reply is no login and no list: the session is off-line and idle, silently, with the reconnect pending.
        QTRY_VERIFY_WITH_TIMEOUT(!form.Transferring && !form.Connecting && Fixture->SessionIdle(), NetTimeout);
        QVERIFY(!form.LoggedIn);
        QVERIFY(Entries(form).isEmpty());
        QVERIFY(ShownBoxes().isEmpty());
        QVERIFY(Settings.AlwaysReconnect);
        disconnect(&sim, &KlabosSim::Server::RequestRecorded, this, nullptr);

        StepClock(TMainForm::ConnectTimeLimit); // the reconnect
        QTRY_VERIFY_WITH_TIMEOUT(form.LoggedIn && Fixture->SessionIdle(), NetTimeout);
        QCOMPARE(Entries(form).size(), 3);
    }

    void firstPeopleRequestCutShortLeavesTheLoginOpen_data() {
        QTest::addColumn<bool>("refused");
        QTest::newRow("stopped with the connect button") << false;
        QTest::newRow("connection refused") << true;
    }
    void firstPeopleRequestCutShortLeavesTheLoginOpen() {
        QFETCH(bool, refused);
        KlabosSim::Server& sim = Fixture->Sim;
        const quint16 port = sim.Port();
        // Once the login is answered, the people request is held (or cannot connect at all).
        connect(&sim, &KlabosSim::Server::RequestRecorded, this, [&sim, refused](const KlabosSim::RecordedRequest& r) {
            if (r.Field(QStringLiteral("akce")) == QLatin1String("get")) {
                if (refused) {
                    sim.StopListening();
                } else {
                    sim.SetDelay(60000);
                }
            }
        });
        TMainForm& form = *Fixture->Form;
        QSignalSpy ends(form.HTTPClient, &THttpClient::OnRequestDone);
        form.ConnectSpeedButtonClick();
        if (refused) {
            QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 2, NetTimeout); // the login, then the refused people request
            QTRY_COMPARE_WITH_TIMEOUT(ShownBoxes().size(), 1, NetTimeout);
            QVERIFY(ShownBoxes().first().Text.endsWith(QStringLiteral("Chyba: 10061")));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!Fixture->Requests(QStringLiteral("lidi")).isEmpty() && form.Transferring,
                                     NetTimeout);
            form.ConnectSpeedButtonClick(); // stop
            QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 2, NetTimeout);
            QVERIFY(ShownBoxes().isEmpty());
        }
        disconnect(&sim, &KlabosSim::Server::RequestRecorded, this, nullptr);
        // The login is not complete: no list was built from the missing reply, and nothing more went out.
        QVERIFY(!form.LoggedIn);
        QCOMPARE(form.LoginPhase, 1);
        QVERIFY(!form.RefreshTimer->IsActive());
        QVERIFY(Entries(form).isEmpty());
        QVERIFY(!form.InMsgBusy);
        QVERIFY(Fixture->Requests(QStringLiteral("zpravy")).isEmpty());

        // The next connect asks for the list with the key held and completes the login.
        sim.SetDelay(0);
        QVERIFY(!refused || sim.Listen(port));
        TModal::Clear();
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(form.LoggedIn && Fixture->SessionIdle(), NetTimeout);
        QCOMPARE(Fixture->Requests(QStringLiteral("get")).size(), 1);
        QCOMPARE(form.LoginPhase, 2);
        QCOMPARE(Entries(form).size(), 3);
    }

    void switchingProxyAuthenticationOffClearsTheCredentials() {
        Fixture->Sim.SetProxyAuth(QStringLiteral("proxyuser"), QStringLiteral("tajne"));
        Settings.UsingProxyAuthentization = true;
        Settings.ProxyLoginName = QStringLiteral("proxyuser");
        Settings.ProxyPassword = QStringLiteral("tajne");
        QVERIFY(LogIn());
        QVERIFY(!Fixture->Requests(QStringLiteral("zpravy")).last().Header("Proxy-Authorization").isEmpty());

        Fixture->Sim.SetProxyAuth(QString(), QString());
        Settings.UsingProxyAuthentization = false;
        TMainForm& form = *Fixture->Form;
        form.ConnectSpeedButtonClick(); // a refresh, then retrieval
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->Requests(QStringLiteral("zpravy")).size() == 2 && form.LoggedIn &&
                                     Fixture->SessionIdle(),
                                 NetTimeout);
        QVERIFY(Fixture->Requests(QStringLiteral("lidi")).last().Header("Proxy-Authorization").isEmpty());
        QVERIFY(Fixture->Requests(QStringLiteral("zpravy")).last().Header("Proxy-Authorization").isEmpty());
    }

    void closingWhileAnErrorBoxIsOpen_data() {
        QTest::addColumn<bool>("refused");
        QTest::newRow("login failure box") << false;
        QTest::newRow("connection error box") << true;
    }
    void closingWhileAnErrorBoxIsOpen() {
        QFETCH(bool, refused);
        if (refused) {
            Fixture->Sim.StopListening();
        } else {
            Settings.LoginPassword = QStringLiteral("spatne");
        }
        TMainForm& form = *Fixture->Form;
        const QPointer<THttpClient> client = form.HTTPClient;
        // A real box with its own event loop, the report of the session client's failure; the window is closed from
        // inside it, as SIGTERM at logout or "&Konec" in the tray would.
        TModal::SetTestMode(false);
        bool boxSeen = false;
        bool clientAliveAfterClose = false;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            watcher.stop();
            boxSeen = true;
            form.close();
            clientAliveAfterClose = !client.isNull();
            box->done(QMessageBox::Ok); // in the program, the end of the run ends the box's loop
        });
        watcher.start(5);
        form.ConnectSpeedButtonClick();
        const bool seen = QTest::qWaitFor([&] { return boxSeen; }, NetTimeout);
        TModal::SetTestMode(true);
        QVERIFY(seen);
        QVERIFY(clientAliveAfterClose);
        QVERIFY(form.HTTPClient == nullptr);
        // Once its handler has returned, the client goes.
        QTRY_VERIFY_WITH_TIMEOUT(client.isNull(), NetTimeout);
    }

    // The session's error boxes open from the event loop once the client's handler of the request's end has
    // returned; what the report changes in the session has happened by then.
    void errorBoxOpensAfterTheClientsHandler_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("caption");
        QTest::newRow("login refused") << "login"
                                       << "Vyskytla se chyba v přihlašování";
        QTest::newRow("connection refused") << "refused"
                                            << "Chyba připojování";
        QTest::newRow("error page") << "error page"
                                    << "Chybná odezva serveru";
    }
    void errorBoxOpensAfterTheClientsHandler() {
        QFETCH(QString, failure);
        QFETCH(QString, caption);
        TMainForm& form = *Fixture->Form;
        if (failure == QLatin1String("login")) {
            Settings.LoginPassword = QStringLiteral("spatne");
        } else if (failure == QLatin1String("refused")) {
            Fixture->Sim.StopListening();
        } else {
            QVERIFY(LogIn());
            Fixture->Sim.FailNext(1);
        }
        Settings.AlwaysReconnect = true;
        qsizetype boxesInHandler = -1;
        bool reconnectInHandler = true;
        bool settled = false;
        // Runs right after the window's own handler, in the same emission.
        connect(form.HTTPClient, &THttpClient::OnRequestDone, this, [&] {
            boxesInHandler = ShownBoxes().size();
            reconnectInHandler = Settings.AlwaysReconnect;
            QMetaObject::invokeMethod(
                this, [&settled] { settled = true; }, Qt::QueuedConnection);
        });
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(settled, NetTimeout);
        QCOMPARE(boxesInHandler, 0);
        QVERIFY(!reconnectInHandler);
        QCOMPARE(ShownBoxes().size(), 1);
        QCOMPARE(ShownBoxes().first().Caption, caption);
    }

    void failureRepeatedWhileItsBoxIsOpenAddsNoBox() {
        Fixture->Sim.StopListening();
        TMainForm& form = *Fixture->Form;
        // Real boxes: the second refused connect happens while the first box runs its own event loop.
        TModal::SetTestMode(false);
        QStringList opened;
        int mostOpenAtOnce = 0;
        QPointer<QMessageBox> current; // a box opened later may take the address of one closed
        bool secondSent = false;
        bool markerQueued = false;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            int open = 0;
            for (QWidget* window : QApplication::topLevelWidgets()) {
                open += qobject_cast<QMessageBox*>(window) && window->isVisible() ? 1 : 0;
            }
            mostOpenAtOnce = qMax(mostOpenAtOnce, open);
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            if (box != current) {
                current = box;
                opened << box->text();
            }
            if (!secondSent) {
                secondSent = true;
                form.ConnectSpeedButtonClick(); // refused again
                return;
            }
            if (form.Connecting || form.HTTPClient->State() != THttpState::Ready) {
                return;
            }
            if (!markerQueued) {
                // Whatever the failures queued comes before this report.
                markerQueued = true;
                QMetaObject::invokeMethod(
                    &form, [&form] { form.ShowError(QStringLiteral("konec"), QStringLiteral("konec")); },
                    Qt::QueuedConnection);
            }
            box->done(QMessageBox::Ok);
        });
        watcher.start(5);
        form.ConnectSpeedButtonClick();
        const bool ended = QTest::qWaitFor([&] { return opened.contains(QStringLiteral("konec")); }, NetTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == nullptr, NetTimeout);
        watcher.stop();
        TModal::SetTestMode(true);
        QVERIFY(ended);
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened.first().endsWith(QStringLiteral("Chyba: 10061")));
        QCOMPARE(mostOpenAtOnce, 1);
    }

    void boxQueuedBeforeTheWindowClosesNeverOpens() {
        Fixture->Sim.StopListening();
        TMainForm& form = *Fixture->Form;
        bool settled = false;
        connect(form.HTTPClient, &THttpClient::OnRequestDone, this, [&] {
            form.close(); // the report of the refused connect is queued, not yet open
            QMetaObject::invokeMethod(
                this, [&settled] { settled = true; }, Qt::QueuedConnection);
        });
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(settled, NetTimeout);
        QVERIFY(ShownBoxes().isEmpty());
        QVERIFY(!Settings.AlwaysReconnect);
    }

    void stopButtonStopsTheSession() {
        Fixture->Sim.SetDelay(3000);
        TMainForm& form = *Fixture->Form;
        form.ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(form.Transferring, NetTimeout);
        form.ConnectSpeedButtonClick();
        QVERIFY(!form.Transferring && !form.Connecting && !form.ConnectionWanted);
        QVERIFY(Fixture->SessionIdle());
        QVERIFY(ShownBoxes().isEmpty());
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestSessionSim test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sessionsim.moc"
