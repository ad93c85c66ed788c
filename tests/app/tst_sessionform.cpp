// The session's rules as the main window applies them: announcing, selection, the idle warning, storing
// messages, the progress bar, the timers and the session reply cap.
#include "app/abouttokickform.h"
#include "app/notifyform.h"
#include "app/onlinelistbox.h"
#include "sessionfixture.h"
#include "store/clocktimer.h"
#include "store/testing.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/gauge.h"
#include "widgets/imagelists.h"
#include "widgets/modal.h"
#include "widgets/queuedboxes.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

constexpr int NetTimeout = 10000;

QString Room(const QString& nick, int idle, const QString& id) {
    return QStringLiteral("00%1*%2>Room#%3>\n").arg(idle).arg(nick, id);
}

// A server that answers every request with a body that never ends.
class TEndlessServer : public QTcpServer {
public:
    TEndlessServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                socket->setParent(this);
                socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n");
                auto* pump = new QTimer(socket);
                connect(pump, &QTimer::timeout, socket, [socket] {
                    if (socket->bytesToWrite() < 1024 * 1024) {
                        socket->write(QByteArray(256 * 1024, 'x'));
                    }
                });
                pump->start(0);
            }
        });
    }
};

// A service that grants every login and answers every other request with an empty body.
class TEmptyReplyServer : public QTcpServer {
public:
    int Requests = 0;
    TEmptyReplyServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("akce=")) {
                        return; // the body comes after the header
                    }
                    ++Requests;
                    socket->write(Requests == 1 ? "HTTP/1.0 200 OK\r\n\r\n<>K3y<2>" : "HTTP/1.0 200 OK\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
    }
};

// A server that answers every request with the start of a reply and then holds the connection open.
class THeldReplyServer : public QTcpServer {
public:
    explicit THeldReplyServer(const QByteArray& start,
                              const QByteArray& header = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n") {
        connect(this, &QTcpServer::newConnection, this, [this, start, header] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [socket, start, header] {
                    if (socket->readAll().contains("akce=")) {
                        socket->write(header + start);
                    }
                });
            }
        });
    }
};

} // namespace

class TestSessionForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TSessionFixture> Fixture;

    TMainForm& Form() { return *Fixture->Form; }
    void Update(const QString& reply) {
        Form().ReplyBuffer = reply;
        Form().UpdateOnlineList();
    }
    // Stores one message reply as if retrieval had received it, and waits until the chain has ended.
    void Store(const QString& reply) {
        Form().InMsgBuffer = reply;
        Form().StoreInMessage();
        QTRY_VERIFY_WITH_TIMEOUT(Fixture->SessionIdle(), NetTimeout);
    }
    // The on-line list as text: each entry's nick and its rooms.
    QStringList EntryLines() {
        QStringList lines;
        const TOnlineList& list = Form().OnlineListBox->Entries();
        for (int index = 0; index < list.Count(); ++index) {
            QString line = list.NickAt(index);
            for (const TRoomObject* room = list.DetailsAt(index)->Rooms.get(); room; room = room->Next.get()) {
                line += QLatin1Char(' ') + room->RoomId;
            }
            lines << line;
        }
        return lines;
    }
    QStringList StoredValues(const QString& sender) {
        TSysReg& store = SysReg();
        store.CloseKey();
        QStringList values;
        if (store.OpenKey(MessagesKeyOf(sender), false)) {
            for (const QString& name : store.GetValueNames()) {
                values << name + QLatin1Char('=') + store.ReadString(name);
            }
        }
        store.CloseKey();
        return values;
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
        TMainForm::SystemTrayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    }

    void everyThirdUpdateAnnounces_data() {
        QTest::addColumn<bool>("suspended");
        QTest::addColumn<int>("announcements");
        QTest::newRow("divisor 3, six updates") << false << 2;
        QTest::newRow("suspended") << true << 0;
    }
    void everyThirdUpdateAnnounces() {
        QFETCH(bool, suspended);
        QFETCH(int, announcements);
        Settings.NotifyDivisor = 3;
        Settings.SuspendNotifications = suspended;
        TNotifyForm& popup = *Form().NotifyForm;
        QSignalSpy runs(&popup, &TNotifyForm::RunStarted);
        for (int update = 0; update < 6; ++update) {
            Update(Room("alice", 1, "1"));
            while (popup.Busy) {
                popup.ShowNextNotice(); // the run's timer, stepped
            }
        }
        QCOMPARE(runs.size(), announcements);
        QCOMPARE(Form().NotifyCounter, 1);
    }

    void onlyOfflineUsersStillAdvanceTheCounter() {
        Settings.NotifyDivisor = 2;
        QSignalSpy runs(Form().NotifyForm.get(), &TNotifyForm::RunStarted);
        Update(QString());
        QCOMPARE(Form().NotifyCounter, 2);
        Update(QString());
        QCOMPARE(Form().NotifyCounter, 1);
        QCOMPARE(runs.size(), 0); // nobody to announce
    }

    void selectionIsKept() {
        Update(Room("Bob", 1, "1"));
        Form().OnlineListBox->setCurrentIndex(Form().OnlineListBox->model()->index(2, 0)); // cyril
        Update(Room("alice", 1, "1") + Room("Bob", 1, "1"));
        const QModelIndex current = Form().OnlineListBox->currentIndex();
        QVERIFY(current.isValid());
        QCOMPARE(Form().OnlineListBox->Entries().NickAt(current.row()), QStringLiteral("cyril"));
    }

    void ownIdleWarning_data() {
        QTest::addColumn<int>("ownIdle");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("warned");
        QTest::newRow("11 against 10") << 11 << true << true;
        QTest::newRow("10 against 10") << 10 << true << false;
        QTest::newRow("warning switched off") << 30 << false << false;
    }
    void ownIdleWarning() {
        QFETCH(int, ownIdle);
        QFETCH(bool, enabled);
        QFETCH(bool, warned);
        Settings.AboutToKickWarning = enabled;
        Settings.AboutToKickWarningTime = 10;
        Form().LoggedIn = true;
        Fixture->SettingsForm->UserCheckListBox->AddNick(QStringLiteral("demo")); // own idle counts when watched
        Update(Room("demo", ownIdle, "1"));
        QCOMPARE(Form().OwnIdle, ownIdle);
        QCOMPARE(Form().AboutToKickForm->Busy, warned);
        QCOMPARE(Form().AboutToKickForm->isVisible(), warned);
    }

    void emptyWatchedListStillRetrieves() {
        Fixture->SettingsForm->UserCheckListBox->ReplaceNicks({});
        Update(Room("alice", 1, "1"));
        QCOMPARE(Form().OnlineListBox->Entries().Count(), 0);
        QCOMPARE(Form().NotifyCounter, 1);
        QTRY_COMPARE_WITH_TIMEOUT(Fixture->Requests(QStringLiteral("zpravy")).size(), 1, NetTimeout);
    }

    void storing_data() {
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("lastMsgId");
        QTest::newRow("one message") << QStringList{"17<20011231235959<alice<Hi<there"} << "alice"
                                     << QStringList{"20011231235959=[31.12.2001 23:59:59] Hi<there"} << "17";
        QTest::newRow("same time stamp: both kept")
            << QStringList{"1<20020101120000<alice<first", "2<20020101120000<alice<second"} << "alice"
            << QStringList{"20020101120000=[01.01.2002 12:00:00] first",
                           "20020101120000-2=[01.01.2002 12:00:00] second"}
            << "2";
        QTest::newRow("no separators: ignored") << QStringList{"garbage"} << "" << QStringList{} << "0";
        QTest::newRow("no sender: stepped past") << QStringList{"3<20020101120000<"} << "" << QStringList{} << "3";
        QTest::newRow("300 characters: a long message, stored")
            << QStringList{"4<20020101120000<alice<" + QString(277, QLatin1Char('x'))} << "alice"
            << QStringList{"20020101120000=[01.01.2002 12:00:00] " + QString(277, QLatin1Char('x'))} << "4";
        QTest::newRow("300 characters of an error page: ignored")
            << QStringList{"<html><title>ERROR</title>" + QString(274, QLatin1Char('x'))} << "" << QStringList{} << "0";
        QTest::newRow("backslash in the sender stays one key")
            << QStringList{"5<20020101120000<a\\b<x"} << "a\\b" << QStringList{"20020101120000=[01.01.2002 12:00:00] x"}
            << "5";
    }
    void storing() {
        QFETCH(QStringList, replies);
        QFETCH(QString, sender);
        QFETCH(QStringList, stored);
        QFETCH(QString, lastMsgId);
        QSignalSpy viewerNotices(&Form(), &TMainForm::MessageStored);
        for (const QString& reply : replies) {
            Store(reply);
        }
        QCOMPARE(StoredValues(sender), stored);
        QCOMPARE(Form().LastMsgId, lastMsgId);
        QCOMPARE(viewerNotices.size(), stored.size());
        // Nothing reached a key outside the sender's own.
        TSysReg& store = SysReg();
        for (const QString& path : store.GetKeyPaths()) {
            QVERIFY2(!path.startsWith(MessagesKey + QLatin1Char('\\')) || path == MessagesKeyOf(sender),
                     qPrintable(path));
        }
    }

    // The store tool writes while a list update marks the entries: reading the marks does not wait for it, and a
    // key that cannot be created meanwhile (Bob's) keeps no later entry from its mark.
    void marksAreReadWhileAnotherProcessWrites() {
        const QString stamp = QStringLiteral("20020101120000");
        ::Store(MessagesKeyOf(QStringLiteral("alice")), stamp, QStringLiteral("[01.01.2002 12:00:00] a"));
        Update(QString());
        QVERIFY(SysReg().DeleteKey(MessagesKeyOf(QStringLiteral("Bob"))));
        ::Store(MessagesKeyOf(QStringLiteral("cyril")), stamp, QStringLiteral("[01.01.2002 12:00:00] c"));

        TSysReg tool(SysReg().Folder());
        QVERIFY(tool.OpenKey(ProductKey, true)); // the write lock, until closed
        Form().MarkStoredMessages();
        tool.CloseKey();
        const TOnlineList& entries = Form().OnlineListBox->Entries();
        QCOMPARE(entries.NickAt(2), QStringLiteral("cyril"));
        QVERIFY(entries.DetailsAt(0)->HasMessages);
        QVERIFY(!entries.DetailsAt(1)->HasMessages);
        QVERIFY(entries.DetailsAt(2)->HasMessages);
        QVERIFY(Form().HasStoredMessages);
    }

    void unknownSenderBecomesWatched() {
        Store(QStringLiteral("9<20020101120000<Nováček<Ahoj"));
        TUserCheckListBox* watched = Fixture->SettingsForm->UserCheckListBox;
        const int index = watched->IndexOfNick(QStringLiteral("Nováček"));
        QVERIFY(index >= 0);
        QVERIFY(!watched->FlagAt(index));
        TSysReg& store = SysReg();
        store.OpenKey(NickCommentsKey, false);
        QCOMPARE(store.ReadString(QStringLiteral("Nováček")), QStringLiteral("Příchozí kontakt z Klabosu."));
        store.CloseKey();
        // At the next update it is listed and marked.
        Update(QString());
        const TOnlineList& entries = Form().OnlineListBox->Entries();
        QVERIFY(entries.DetailsAt(entries.IndexOf(QStringLiteral("Nováček")))->HasMessages);
        QVERIFY(Form().HasStoredMessages);
    }

    void progressBarWrapsAfterItsMaximum() {
        for (int chunk = 1; chunk <= 16; ++chunk) {
            Form().HTTPClientDocData("x", 1);
            QCOMPARE(Form().ProgressGauge->Progress(), chunk == 16 ? 0 : chunk);
        }
        QCOMPARE(Form().ReplyBuffer, QString(16, QLatin1Char('x')));
    }

    // A user is newly arrived for StatusRefresh minutes; after that nothing more is due for the arrival, also when
    // the user stays on-line through later updates.
    void arrivalCountStopsAfterTheWindow() {
        Settings.StatusRefresh = 1;
        Update(Room("alice", 1, "1"));
        const TArrivalRecord& arrival = Form().ArrivalList.At(0);
        StepClock(60000 - 1);
        QVERIFY(Form().NewlyArrived(arrival));
        QVERIFY(Form().ArrivalTimer->IsActive());
        StepClock(1);
        QVERIFY(!Form().NewlyArrived(arrival));
        QVERIFY(!Form().ArrivalTimer->IsActive());
        Update(Room("alice", 1, "1"));
        QVERIFY(!Form().NewlyArrived(arrival));
        QVERIFY(!Form().ArrivalTimer->IsActive());
    }

    void trayBlinksWhileMessagesAreStored() {
        TMainForm::SystemTrayAvailable = +[] { return true; }; // the offscreen platform has none: one stands in
        QCOMPARE(Form().TrayImage, int(TrayNormalImage));
        Form().HasStoredMessages = true;
        QList<int> images;
        for (int step = 0; step < 3; ++step) {
            StepClock(TMainForm::BlinkStep - 1);
            images << Form().TrayImage;
            StepClock(1);
            images << Form().TrayImage;
        }
        QCOMPARE(images, (QList<int>{TrayNormalImage, TrayBlankImage, TrayBlankImage, TrayMessageImage,
                                     TrayMessageImage, TrayBlankImage}));
        Form().HasStoredMessages = false;
        QCOMPARE(Form().TrayImage, int(TrayNormalImage));
        QVERIFY(!Form().ControlTimer->IsActive());
    }

    // The reconnect comes once 8.4 s have passed since the last connect in the states where that time counts (a
    // connect not yet through, a reconnect pending), not while a reply was read.
    void reconnectComesAfterCountedTime() {
        TMainForm& form = Form();
        Settings.AlwaysReconnect = true;
        form.ConnectionWanted = true;
        form.Connecting = true;
        StepClock(3000); // connecting: counted
        form.Connecting = false;
        form.Transferring = true;
        StepClock(20000); // reading a reply: not counted
        form.Transferring = false;
        StepClock(TMainForm::ConnectTimeLimit - 3000 - 1);
        QVERIFY(!form.Connecting);
        StepClock(1);
        QVERIFY(form.Connecting);
    }

    // A timer runs only while something is due or blinks: every flag's change re-derives which.
    void timersRunOnlyWhileSomethingIsDue_data() {
        QTest::addColumn<QString>("state"); // the flags set, in this order: W wanted, C connecting, T transferring,
                                            // L logged in, M stored messages; R reconnect on in the settings dialog
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("blinking");
        QTest::addColumn<bool>("watchdog");
        QTest::newRow("off-line, idle") << "" << true << false << false;
        QTest::newRow("off-line, wanted, no reconnect") << "W" << true << false << false;
        QTest::newRow("reconnect pending: NET blinks") << "WR" << true << true << true;
        QTest::newRow("connecting: the lights blink") << "WC" << true << true << true;
        QTest::newRow("connecting while transferring: the lights stay") << "WCT" << true << false << false;
        QTest::newRow("transferring: the green light blinks") << "WT" << true << true << false;
        QTest::newRow("logged in, idle: nothing until the refresh") << "WLR" << true << false << false;
        QTest::newRow("messages wait: the tray icon blinks") << "WLM" << true << true << false;
        QTest::newRow("messages wait without a tray") << "WLM" << false << false << false;
    }
    void timersRunOnlyWhileSomethingIsDue() {
        QFETCH(QString, state);
        QFETCH(bool, tray);
        QFETCH(bool, blinking);
        QFETCH(bool, watchdog);
        TMainForm& form = Form();
        TMainForm::SystemTrayAvailable = tray ? +[] { return true; } : +[] { return false; };
        form.ConnectionWanted = state.contains(u'W');
        form.Connecting = state.contains(u'C');
        form.Transferring = state.contains(u'T');
        form.LoggedIn = state.contains(u'L');
        form.HasStoredMessages = state.contains(u'M');
        if (state.contains(u'R')) {
            Fixture->SettingsForm->AlwaysReconnectCheckBox->setChecked(true);
            Fixture->SettingsForm->SaveSettings();
        }
        QCOMPARE(form.ControlTimer->IsActive(), blinking);
        QCOMPARE(form.WatchdogTimer->IsActive(), watchdog);
        QVERIFY(!form.RefreshTimer->IsActive());
    }

    void guestIsRefused_data() {
        QTest::addColumn<bool>("reportErrors");
        QTest::newRow("reported") << true;
        QTest::newRow("silent") << false;
    }
    void guestIsRefused() {
        QFETCH(bool, reportErrors);
        Settings.LoginName = QStringLiteral("GUEST");
        Settings.ReportNetworkErrors = reportErrors;
        Settings.AlwaysReconnect = true;
        Form().ConnectSpeedButtonClick();
        QTRY_VERIFY(Form().ErrorBoxes->Idle());
        QCOMPARE(ShownBoxes().size(), reportErrors ? 1 : 0);
        if (reportErrors) {
            QCOMPARE(ShownBoxes().first().Text, QStringLiteral("Nemůžete se přihlásit jako host."));
            QCOMPARE(ShownBoxes().first().Caption, QStringLiteral("Chybný login"));
        }
        QCOMPARE(Settings.AlwaysReconnect, !reportErrors);
        QVERIFY(!Form().Connecting);
        QVERIFY(Fixture->Sim.Requests().isEmpty());
    }

    void emptyFirstPeopleReplyCompletesTheLogin() {
        TEmptyReplyServer service;
        QVERIFY(service.listen(QHostAddress::LocalHost));
        Settings.ProxyPort = service.serverPort();
        Form().ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(Form().LoggedIn && Fixture->SessionIdle(), NetTimeout);
        QCOMPARE(Form().LoginPhase, 2);
        QCOMPARE(Form().SessionKey, QStringLiteral("K3y"));
        QTest::qWait(100);             // no further request follows on its own
        QCOMPARE(service.Requests, 3); // login, people list, message retrieval
        QCOMPARE(Form().OnlineListBox->Entries().Count(), 3);
    }

    void connectNowMessageConnects() {
        QCoreApplication::postEvent(&Form(), new QEvent(MsgConnectNow));
        QTRY_VERIFY_WITH_TIMEOUT(Form().LoggedIn && Fixture->SessionIdle(), NetTimeout);
        QVERIFY(Form().ConnectionWanted);
    }

    void missingPasswordOpensTheServerPage_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("reconnect");
        QTest::newRow("cancelled: reconnect off") << int(QDialog::Rejected) << false;
        QTest::newRow("confirmed: reconnect stays") << int(QDialog::Accepted) << true;
    }
    void missingPasswordOpensTheServerPage() {
        QFETCH(int, answer);
        QFETCH(bool, reconnect);
        Settings.LoginPassword.clear();
        Settings.AlwaysReconnect = true;
        Form().show();
        Form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Form()));
        QWidget* page = nullptr;
        TModal::PresetDialog([&](QDialog&) {
            page = Fixture->SettingsForm->PageControl->currentWidget();
            return answer;
        });
        Form().ConnectSpeedButtonClick();
        QCOMPARE(page, Fixture->SettingsForm->ServerTabSheet);
        QCOMPARE(Settings.AlwaysReconnect, reconnect);
        QVERIFY(!Form().Connecting);
        QVERIFY(Fixture->Sim.Requests().isEmpty());
    }

    // A reply line longer than the client holds ends the request with its error: one report for the one fault,
    // shown when a failed request's report is.
    void overlongReplyLineIsReportedOnce_data() {
        QTest::addColumn<bool>("reportErrors");
        QTest::addColumn<bool>("alwaysReconnect");
        QTest::addColumn<bool>("reported");
        QTest::newRow("errors reported") << true << true << true;
        QTest::newRow("wanted without reconnect") << false << false << true;
        QTest::newRow("silent while reconnecting") << false << true << false;
    }
    void overlongReplyLineIsReportedOnce() {
        QFETCH(bool, reportErrors);
        QFETCH(bool, alwaysReconnect);
        QFETCH(bool, reported);
        THeldReplyServer service(QByteArray(), "HTTP/1.0 200 OK\r\n" + QByteArray(9000, 'x'));
        QVERIFY(service.listen(QHostAddress::LocalHost));
        Settings.ProxyPort = service.serverPort();
        Settings.ReportNetworkErrors = reportErrors;
        Settings.AlwaysReconnect = alwaysReconnect;
        bool settled = false;
        connect(Form().HTTPClient, &THttpClient::OnRequestDone, this, [&] {
            // Comes after every report the request's end has queued.
            QMetaObject::invokeMethod(
                this, [&settled] { settled = true; }, Qt::QueuedConnection);
        });
        Form().ConnectSpeedButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(settled, NetTimeout);
        QCOMPARE(ShownBoxes().size(), reported ? 1 : 0);
        if (reported) {
            QCOMPARE(ShownBoxes().first().Caption, QStringLiteral("Chyba připojování"));
            QVERIFY(ShownBoxes().first().Text.endsWith(QStringLiteral("Chyba: 4")));
        }
        QVERIFY(!Form().Connecting && !Form().Transferring);
    }

    // Ended silently, without resetting the session: the next refresh asks again.
    void endlessMessageReplyEndsSilently() {
        TEndlessServer endless;
        QVERIFY(endless.listen(QHostAddress::LocalHost));
        Form().HTTPClient->ProxyPort = QString::number(endless.serverPort());
        Form().LoggedIn = true;
        Form().RetrieveInMessages();
        QVERIFY(Form().InMsgBusy);
        QTRY_VERIFY_WITH_TIMEOUT(!Form().InMsgBusy && Fixture->SessionIdle(), 30000);
        QVERIFY(Form().LoggedIn); // the session was not reset
        QVERIFY(Form().InMsgBuffer.isEmpty());
        QCOMPARE(Form().LastMsgId, QStringLiteral("0"));
        QVERIFY(ShownBoxes().isEmpty());
    }

    void refreshCutShortKeepsTheList_data() {
        QTest::addColumn<bool>("timedOut");
        QTest::newRow("stopped with the connect button") << false;
        QTest::newRow("timed out") << true;
    }
    void refreshCutShortKeepsTheList() {
        QFETCH(bool, timedOut);
        Update(Room("Bob", 1, "7"));
        const QStringList before = EntryLines();
        THeldReplyServer service(Room("alice", 2, "1").toLatin1()); // the first record of a longer list
        QVERIFY(service.listen(QHostAddress::LocalHost));
        Settings.ProxyPort = service.serverPort();
        Settings.ReportNetworkErrors = false;
        Form().SessionKey = QStringLiteral("k3y");
        Form().LoginPhase = 2;
        Form().LoggedIn = true;
        Form().HTTPClient->IdleTimeoutMs = timedOut ? 1000 : 0;
        QSignalSpy ends(Form().HTTPClient, &THttpClient::OnRequestDone);
        Form().ConnectSpeedButtonClick();
        if (!timedOut) {
            QTRY_VERIFY_WITH_TIMEOUT(!Form().ReplyBuffer.isEmpty(), NetTimeout);
            Form().ConnectSpeedButtonClick(); // stop
        }
        QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 1, NetTimeout);
        QCOMPARE(EntryLines(), before);
        QVERIFY(!Form().LoggedIn);
        QVERIFY(!Form().InMsgBusy); // no retrieval follows a list that never came
    }

    void retrievalCutShortStoresNothing_data() {
        QTest::addColumn<bool>("timedOut");
        QTest::newRow("aborted by a reset of the session") << false;
        QTest::newRow("timed out") << true;
    }
    void retrievalCutShortStoresNothing() {
        QFETCH(bool, timedOut);
        THeldReplyServer service("17<20011231235959<alice<Hi th"); // a message cut in its text
        QVERIFY(service.listen(QHostAddress::LocalHost));
        Form().HTTPClient->ProxyPort = QString::number(service.serverPort());
        Form().InMsgHTTPClient->IdleTimeoutMs = timedOut ? 1000 : 0;
        QSignalSpy ends(Form().InMsgHTTPClient, &THttpClient::OnRequestDone);
        Form().RetrieveInMessages();
        if (!timedOut) {
            QTRY_VERIFY_WITH_TIMEOUT(!Form().InMsgBuffer.isEmpty(), NetTimeout);
            Form().ResetConnection();
        }
        QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 1, NetTimeout);
        QCOMPARE(StoredValues(QStringLiteral("alice")), QStringList());
        QCOMPARE(Form().LastMsgId, QStringLiteral("0"));
        QVERIFY(!Form().InMsgBusy); // and the chain does not ask again
        QVERIFY(ShownBoxes().isEmpty());
    }

    void everyListEntryGetsAMessageKey() {
        Update(Room("alice", 1, "1"));
        QStringList keys = SysReg().GetKeyPaths();
        for (QString& key : keys) {
            key = key.toCaseFolded();
        }
        for (const char* nick : {"alice", "Bob", "cyril"}) {
            QVERIFY2(keys.contains(MessagesKeyOf(QString::fromLatin1(nick)).toCaseFolded()), nick);
        }
        QVERIFY(!Form().HasStoredMessages);
    }

    void newSenderKeepsACommentEditInProgress() {
        TSettingsForm& settings = *Fixture->SettingsForm;
        settings.show();
        settings.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&settings));
        settings.PageControl->setCurrentWidget(settings.UserTabSheet);
        TUserCheckListBox* list = settings.UserCheckListBox;
        const QRect bob = list->visualItemRect(list->item(list->IndexOfNick(QStringLiteral("Bob"))));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, bob.center());
        QCOMPARE(settings.NickEdit->text(), QStringLiteral("Bob"));
        QTest::mouseClick(settings.CommentEdit->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
        QTest::keyClick(settings.CommentEdit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(settings.CommentEdit, QStringLiteral("soused od vedle"));
        QVERIFY(settings.CommentChanged);

        // A message from a sender sorted before Bob arrives: the sender is listed, the edit stays.
        Store(QStringLiteral("9<20020101120000<Adéla<Ahoj"));
        QVERIFY(list->IndexOfNick(QStringLiteral("Adéla")) >= 0);
        QVERIFY(settings.CommentChanged);
        QCOMPARE(list->currentRow(), list->IndexOfNick(QStringLiteral("Bob")));
        QCOMPARE(settings.SelectedIndex, list->IndexOfNick(QStringLiteral("Bob")));
        QCOMPARE(settings.NickEdit->text(), QStringLiteral("Bob"));
        QCOMPARE(settings.CommentEdit->toPlainText(), QStringLiteral("soused od vedle"));

        // Closing the dialog asks about the edit, and Yes stores it under Bob.
        TModal::PresetAnswer(QMessageBox::Yes);
        settings.reject();
        QCOMPARE(ShownBoxes().size(), 1);
        QCOMPARE(ShownBoxes().first().Caption, QStringLiteral("Byla provedena změna"));
        TSysReg& store = SysReg();
        store.CloseKey();
        store.OpenKey(NickCommentsKey, false);
        QCOMPARE(store.ReadString(QStringLiteral("Bob")), QStringLiteral("soused od vedle"));
        store.CloseKey();
    }

    void endlessReplyFailsTheRequest() {
        TEndlessServer endless;
        QVERIFY(endless.listen(QHostAddress::LocalHost));
        Settings.ProxyPort = endless.serverPort();
        Form().SessionKey = QStringLiteral("k3y");
        Form().LoginPhase = 2;
        Form().ConnectSpeedButtonClick();
        QTRY_COMPARE_WITH_TIMEOUT(ShownBoxes().size(), 1, 30000);
        QVERIFY(ShownBoxes().first().Text.endsWith(QStringLiteral("Chyba: 9")));
        QVERIFY(Form().ReplyBuffer.isEmpty());
        QVERIFY(!Form().Transferring && !Form().LoggedIn);
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestSessionForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sessionform.moc"
