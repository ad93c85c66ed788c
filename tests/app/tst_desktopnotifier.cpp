// Desktop notifications against a small notification server of the test's own, on the private session bus that
// dbus-run-session gives the test: one notification per announcement run and per message sender, each replacing
// its own previous one; none while suspended; the default action brings up the main window; a slow or vanished
// server holds nothing up; the server can find the program's desktop entry and icon by what it is told.
#include "app/desktopnotifier.h"
#include "app/notifyform.h"
#include "listfixture.h"
#include "widgets/application.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int BusTimeout = 20000;

// The server side of org.freedesktop.Notifications, on a connection of its own.
class TFakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct TCall {
        QString AppName;
        uint ReplacesId = 0;
        QString Summary;
        QStringList Actions;
        uint Id = 0;
        QString AppIcon;
        QString DesktopEntry;
    };

    TFakeNotificationServer()
        : Bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-notifications"))) {}
    ~TFakeNotificationServer() override {
        Stop();
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
    }

    bool Start() {
        return Bus.registerObject(TDesktopNotifier::Path, this, QDBusConnection::ExportAllSlots) &&
               Bus.registerService(TDesktopNotifier::Service);
    }
    void Stop() {
        Bus.unregisterService(TDesktopNotifier::Service);
        Bus.unregisterObject(TDesktopNotifier::Path);
    }
    // The user chose an action of the notification.
    void Invoke(uint id, const QString& key) {
        QDBusMessage signal = QDBusMessage::createSignal(TDesktopNotifier::Path, TDesktopNotifier::Interface,
                                                         QStringLiteral("ActionInvoked"));
        signal << id << key;
        Bus.send(signal);
    }
    // Answers the calls held so far.
    void Release() {
        for (const auto& [message, id] : std::as_const(Held)) {
            Bus.send(message.createReply(QVariant::fromValue(id)));
        }
        Held.clear();
    }

    QDBusConnection Bus;
    QList<TCall> Calls;
    bool Hold = false; // a slow server: calls are answered only by Release
    QList<std::pair<QDBusMessage, uint>> Held;
    uint NextId = 1;

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout,
                const QDBusMessage& message) {
        Q_UNUSED(body);
        Q_UNUSED(timeout);
        const uint id = replacesId != 0 ? replacesId : NextId++;
        Calls.append({appName, replacesId, summary, actions, id, appIcon,
                      hints.value(QStringLiteral("desktop-entry")).toString()});
        if (Hold) {
            message.setDelayedReply(true);
            Held.append({message, id});
        }
        return id;
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions")}; }
    void CloseNotification(uint id) { Q_UNUSED(id); }
};

} // namespace

class TestDesktopNotifier : public QObject {
    Q_OBJECT

    std::unique_ptr<TListFixture> Fixture;
    std::unique_ptr<TFakeNotificationServer> Server;

    TMainForm& Form() { return *Fixture->Form; }
    // One announcement run of the popup over the nicks, stepped to its end.
    void Announce(const QStringList& nicks) {
        TNotifyForm& popup = *Form().NotifyForm;
        popup.NoticeQueue = nicks;
        popup.Notify();
        while (popup.Busy) {
            popup.ShowNextNotice();
        }
    }
    QStringList Summaries() const {
        QStringList summaries;
        for (const TFakeNotificationServer::TCall& call : Server->Calls) {
            summaries << call.Summary;
        }
        return summaries;
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
            QSKIP("needs a private session bus: run under dbus-run-session");
        }
    }
    void init() {
        Fixture = std::make_unique<TListFixture>();
        Server = std::make_unique<TFakeNotificationServer>();
        QVERIFY(Server->Start());
        QVERIFY(Form().DesktopNotifier->Connected());
    }
    void cleanup() {
        Server.reset();
        Fixture.reset();
    }

    void announcementRunsReplaceEachOther() {
        Announce({QStringLiteral("alice"), QStringLiteral("Bob")});
        QTRY_COMPARE_WITH_TIMEOUT(Server->Calls.size(), 1, BusTimeout);
        const TFakeNotificationServer::TCall first = Server->Calls.first();
        QCOMPARE(first.AppName, QStringLiteral("Cvrlik"));
        QCOMPARE(first.Summary, QStringLiteral("Nově na chatu: alice, Bob"));
        QCOMPARE(first.ReplacesId, 0u);
        QVERIFY(first.Actions.isEmpty());
        Announce({QStringLiteral("cyril")});
        QTRY_COMPARE_WITH_TIMEOUT(Server->Calls.size(), 2, BusTimeout);
        QCOMPARE(Server->Calls.last().ReplacesId, first.Id);
        QCOMPARE(Server->Calls.last().Summary, QStringLiteral("Nově na chatu: cyril"));

        // The entry the hint names is the one the program ships, and its icon is the notification's.
        QFile entry(QStringLiteral(CVRLIK_SOURCE_DIR "/resources/") + first.DesktopEntry + QStringLiteral(".desktop"));
        QVERIFY2(entry.open(QIODevice::ReadOnly), qPrintable(entry.fileName()));
        QVERIFY(entry.readAll().contains("\nIcon=" + first.AppIcon.toUtf8() + "\n"));
    }

    void eachSenderHasANotificationOfTheirOwn_data() {
        QTest::addColumn<QStringList>("senders");
        QTest::addColumn<QList<int>>("replaces"); // the index of the call each one replaces, -1 for none
        QTest::newRow("one sender, two messages: replaced") << QStringList{"alice", "alice"} << QList<int>{-1, 0};
        QTest::newRow("two senders: side by side") << QStringList{"alice", "Bob"} << QList<int>{-1, -1};
        QTest::newRow("letter case does not make another sender")
            << QStringList{"alice", "Bob", "ALICE"} << QList<int>{-1, -1, 0};
    }
    void eachSenderHasANotificationOfTheirOwn() {
        QFETCH(QStringList, senders);
        QFETCH(QList<int>, replaces);
        QSignalSpy delivered(Form().DesktopNotifier, &TDesktopNotifier::Delivered);
        for (const QString& sender : senders) {
            const int before = int(delivered.size());
            Q_EMIT Form().MessageStored(sender);
            QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), before + 1, BusTimeout);
        }
        QCOMPARE(Server->Calls.size(), senders.size());
        for (int call = 0; call < senders.size(); ++call) {
            const TFakeNotificationServer::TCall& made = Server->Calls.at(call);
            QCOMPARE(made.Summary, QStringLiteral("Nová zpráva od ") + senders.at(call));
            QVERIFY(made.Actions.contains(QStringLiteral("default")));
            QCOMPARE(made.ReplacesId, replaces.at(call) < 0 ? 0u : Server->Calls.at(replaces.at(call)).Id);
        }
    }

    void noneWhileSuspended() {
        Settings.SuspendNotifications = true;
        Announce({QStringLiteral("alice")});
        Q_EMIT Form().MessageStored(QStringLiteral("alice"));
        Settings.SuspendNotifications = false;
        Q_EMIT Form().MessageStored(QStringLiteral("Bob")); // goes after anything sent before it
        QTRY_COMPARE_WITH_TIMEOUT(Server->Calls.size(), 1, BusTimeout);
        QCOMPARE(Summaries(), QStringList{"Nová zpráva od Bob"});
    }

    void defaultActionBringsUpTheWindow() {
        Form().hide();
        QSignalSpy delivered(Form().DesktopNotifier, &TDesktopNotifier::Delivered);
        Q_EMIT Form().MessageStored(QStringLiteral("alice"));
        QVERIFY(delivered.wait(BusTimeout));
        QCOMPARE(delivered.first().first().toBool(), true);
        Server->Invoke(Server->Calls.first().Id, QStringLiteral("default"));
        QTRY_VERIFY_WITH_TIMEOUT(Form().isVisible(), BusTimeout);
    }

    void aSlowServerHoldsNothingUp() {
        Server->Hold = true;
        Announce({QStringLiteral("alice")});
        QTRY_COMPARE_WITH_TIMEOUT(Server->Calls.size(), 1, BusTimeout);
        // While the server keeps its answer, the program goes on: a newer run waits for the id it replaces.
        Announce({QStringLiteral("Bob")});
        Q_EMIT Form().MessageStored(QStringLiteral("cyril")); // a notification of another kind does not wait
        QTRY_COMPARE_WITH_TIMEOUT(Server->Calls.size(), 2, BusTimeout);
        QCOMPARE(Server->Calls.last().Summary, QStringLiteral("Nová zpráva od cyril"));
        Server->Hold = false;
        Server->Release();
        QTRY_COMPARE_WITH_TIMEOUT(Server->Calls.size(), 3, BusTimeout);
        QCOMPARE(Server->Calls.last().Summary, QStringLiteral("Nově na chatu: Bob"));
        QCOMPARE(Server->Calls.last().ReplacesId, Server->Calls.first().Id);
    }

    void aVanishedServerIsPassedOver() {
        QSignalSpy delivered(Form().DesktopNotifier, &TDesktopNotifier::Delivered);
        Announce({QStringLiteral("alice")});
        QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), 1, BusTimeout);
        Server->Stop();
        Announce({QStringLiteral("Bob")}); // nobody answers on the bus
        QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), 2, BusTimeout);
        QCOMPARE(delivered.last().first().toBool(), false);
        QVERIFY(Server->Start());
        Announce({QStringLiteral("cyril")});
        QTRY_COMPARE_WITH_TIMEOUT(Server->Calls.size(), 2, BusTimeout);
        QCOMPARE(Server->Calls.last().Summary, QStringLiteral("Nově na chatu: cyril"));
        QCOMPARE(Server->Calls.last().ReplacesId, 0u); // the failed call left no notification to replace
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    TModal::SetTestMode(true);
    TDesktop::SetTestMode(true);
    TestDesktopNotifier test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktopnotifier.moc"
