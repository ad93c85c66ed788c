// The simulated world: repeatable from its seed, lively by default, and within the limits the program can read.
#include "server.h"
#include "simexchange.h"
#include "world.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QtTest>

using namespace KlabosSim;

namespace {

QByteArray Snapshot(const World& world) {
    return QJsonDocument(world.ToJson()).toJson(QJsonDocument::Compact);
}

int OnlineCount(const World& world) {
    return int(
        std::count_if(world.Users().cbegin(), world.Users().cend(), [](const User& user) { return user.Online(); }));
}

} // namespace

class TestSimWorld : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameSeedSameWorld_data();
    void sameSeedSameWorld();
    void sameSeedSameReplies();
    void defaultWorldIsLively();
    void idleStaysReadableAndIdleUsersAreThrownOut();
    void quietWorldOnlyGrowsIdle();
    void simulatedUsersAnswerAndSendersAreActive();
    void timeStampsNeverRepeat();
    void crowdComesAndGoes();
    void keysLiveTheirLife_data();
    void keysLiveTheirLife();
    void mailIsNumberedForEveryAccount();
    void stateCarriesTheWorldOverARestart();
    void stateItCannotReadChangesNothing_data();
    void stateItCannotReadChangesNothing();
};

void TestSimWorld::sameSeedSameWorld_data() {
    QTest::addColumn<bool>("populate");
    QTest::newRow("default world") << true;
    QTest::newRow("rooms only, users added later") << false;
}

void TestSimWorld::sameSeedSameWorld() {
    QFETCH(bool, populate);
    World first(1234, populate);
    World second(1234, populate);
    World other(1235, populate);
    for (World* world : {&first, &second, &other}) {
        world->AddUser(QStringLiteral("tester"), QStringLiteral("x"), false);
        world->AddUser(QStringLiteral("pepa"), QStringLiteral("x"), true);
    }
    bool otherDiffers = false;
    for (int tick = 0; tick < 300; ++tick) {
        first.Tick();
        second.Tick();
        other.Tick();
        QCOMPARE(Snapshot(first), Snapshot(second));
        otherDiffers = otherDiffers || Snapshot(first) != Snapshot(other);
    }
    QCOMPARE(first.Login(QStringLiteral("tester"), QStringLiteral("x")),
             second.Login(QStringLiteral("tester"), QStringLiteral("x")));
    QVERIFY(otherDiffers);
}

void TestSimWorld::sameSeedSameReplies() {
    // Two stand-ins with one seed answer one sequence of requests alike, session keys included.
    QByteArrayList replies[2];
    for (QByteArrayList& received : replies) {
        Server sim(99);
        QVERIFY(sim.Listen());
        sim.TheWorld().Tick();
        const QByteArray login =
            SimExchange::Post(sim.Port(), "/cgi-bin/klabos/mix.fcgi", "akce=get&jmeno=demo&heslo=demo").Body();
        const QByteArray key = login.mid(2, login.indexOf("<2>") - 2);
        received.append(login);
        for (int round = 0; round < 5; ++round) {
            sim.TheWorld().Tick();
            received.append(SimExchange::Post(sim.Port(), "/cgi-bin/klabos/mix.fcgi",
                                              "jmeno=demo&heslo=" + key +
                                                  "&klient=Cvrlik 1.81&akce=lidi&lidi='Anička','Bára','Cipísek','Ema'")
                                .Body());
            received.append(SimExchange::Post(sim.Port(), "/cgi-bin/klabos/mix.fcgi",
                                              "akce=zpravy&jmeno=demo&heslo=" + key + "&last_msg=0")
                                .Body());
        }
    }
    QCOMPARE(replies[0], replies[1]);
}

void TestSimWorld::defaultWorldIsLively() {
    World world(7);
    QVERIFY(world.FindUser(QStringLiteral("demo")));
    QCOMPARE(world.FindUser(QStringLiteral("demo"))->Password, QStringLiteral("demo"));
    QVERIFY(world.Users().size() >= 13);
    QVERIFY(OnlineCount(world) > 1);

    bool someoneArrived = false;
    bool someoneLeft = false;
    bool someoneOnClient = false;
    bool someoneInTwoRooms = false;
    int messagesForDemo = 0;
    quint64 lastId = 0;
    QList<bool> wasOnline;
    for (const User& user : world.Users()) {
        wasOnline.append(user.Online());
    }
    for (int tick = 0; tick < 400; ++tick) {
        world.Tick();
        for (qsizetype index = 0; index < world.Users().size(); ++index) {
            const User& user = world.Users().at(index);
            someoneArrived = someoneArrived || (!wasOnline.at(index) && user.Online());
            someoneLeft = someoneLeft || (wasOnline.at(index) && !user.Online());
            someoneOnClient = someoneOnClient || user.Client;
            someoneInTwoRooms = someoneInTwoRooms || user.Rooms.size() > 1;
            wasOnline[index] = user.Online();
        }
        while (const std::optional<Message> message = world.NextMessage(QStringLiteral("demo"), lastId)) {
            ++messagesForDemo;
            lastId = message->Id;
        }
    }
    QVERIFY(someoneArrived);
    QVERIFY(someoneLeft);
    QVERIFY(someoneOnClient);
    QVERIFY(someoneInTwoRooms);
    QVERIFY(messagesForDemo > 3);
}

void TestSimWorld::idleStaysReadableAndIdleUsersAreThrownOut() {
    World world(3);
    for (int tick = 0; tick < 500; ++tick) {
        world.Tick();
        for (const User& user : world.Users()) {
            for (const RoomPresence& presence : user.Rooms) {
                QVERIFY(presence.Idle >= 0 && presence.Idle <= World::KickIdleMinutes);
            }
        }
    }
    // The demo account does nothing by itself: it is thrown out of its room once idle too long.
    QVERIFY(world.FindUser(QStringLiteral("demo"))->Rooms.isEmpty());
}

void TestSimWorld::quietWorldOnlyGrowsIdle() {
    World world(5);
    world.SetLively(false);
    world.SetIdle(QStringLiteral("demo"), 0);
    QList<bool> online;
    for (const User& user : world.Users()) {
        online.append(user.Online());
    }
    for (int tick = 0; tick < 10; ++tick) {
        world.Tick();
    }
    for (qsizetype index = 0; index < world.Users().size(); ++index) {
        const User& user = world.Users().at(index);
        QCOMPARE(user.Inbox.size(), 0);
        QCOMPARE(user.Online(), online.at(index));
    }
    QCOMPARE(world.FindUser(QStringLiteral("demo"))->Rooms.first().Idle, 10);
}

void TestSimWorld::simulatedUsersAnswerAndSendersAreActive() {
    World world(11, false);
    world.AddUser(QStringLiteral("me"), QStringLiteral("x"), false);
    world.AddUser(QStringLiteral("eva"), QStringLiteral("x"), true);
    QVERIFY(world.EnterRoom(QStringLiteral("eva"), QStringLiteral("1")));
    QVERIFY(world.EnterRoom(QStringLiteral("me"), QStringLiteral("12"), 30));
    QCOMPARE(world.Deliver(QStringLiteral("me"), QStringLiteral("eva"), QStringLiteral("ahoj"), DeliveryKind::Chat),
             DeliveryResult::Sent);
    QCOMPARE(world.FindUser(QStringLiteral("me"))->Rooms.first().Idle, 0); // sending is activity
    world.Tick();
    const std::optional<Message> answer = world.NextMessage(QStringLiteral("me"), 0);
    QVERIFY(answer);
    QCOMPARE(answer->Sender, QStringLiteral("eva"));
}

void TestSimWorld::timeStampsNeverRepeat() {
    // Stored messages are keyed by sender and time stamp: two in one second must still differ.
    World world(1, false);
    world.AddUser(QStringLiteral("me"), QStringLiteral("x"), false);
    QStringList stamps;
    for (int index = 0; index < 100; ++index) {
        world.QueueMessage(QStringLiteral("me"), QStringLiteral("eva"), QString::number(index));
    }
    for (const Message& message : world.FindUser(QStringLiteral("me"))->Inbox) {
        QVERIFY(!stamps.contains(message.Stamp));
        QCOMPARE(message.Stamp.size(), 14);
        stamps.append(message.Stamp);
    }
}

void TestSimWorld::crowdComesAndGoes() {
    World world(21, false);
    QStringList nicks = world.AddCrowd(150);
    nicks += world.AddCrowd(150);
    QCOMPARE(QSet<QString>(nicks.cbegin(), nicks.cend()).size(), 300);
    for (const QString& nick : nicks) {
        QVERIFY2(World::ValidNick(nick), qPrintable(nick));
    }
    const int online = OnlineCount(world);
    QVERIFY2(online > 75 && online < 225, qPrintable(QString::number(online)));
    int arrivals = 0;
    int departures = 0;
    for (int tick = 0; tick < 20; ++tick) {
        QList<bool> before;
        for (const User& user : world.Users()) {
            before.append(user.Online());
        }
        world.Tick();
        for (qsizetype index = 0; index < world.Users().size(); ++index) {
            arrivals += !before.at(index) && world.Users().at(index).Online() ? 1 : 0;
            departures += before.at(index) && !world.Users().at(index).Online() ? 1 : 0;
        }
    }
    // Hundreds of people entering and leaving.
    QVERIFY2(arrivals > 100 && departures > 50, qPrintable(QStringLiteral("%1 %2").arg(arrivals).arg(departures)));
}

void TestSimWorld::keysLiveTheirLife_data() {
    QTest::addColumn<int>("life");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<bool>("valid");
    QTest::newRow("no life set: forever") << 0 << 500 << true;
    QTest::newRow("one minute short of its life") << 5 << 4 << true;
    QTest::newRow("its life is over") << 5 << 5 << false;
}

void TestSimWorld::keysLiveTheirLife() {
    QFETCH(int, life);
    QFETCH(int, ticks);
    QFETCH(bool, valid);
    World world(1);
    world.SetSessionLife(life);
    world.Tick();
    const std::optional<QString> key = world.Login(QStringLiteral("demo"), QStringLiteral("demo"));
    QVERIFY(key);
    for (int tick = 0; tick < ticks; ++tick) {
        world.Tick();
    }
    QCOMPARE(world.SessionUser(*key).has_value(), valid);
    // A new login gets a key of a full life.
    const std::optional<QString> fresh = world.Login(QStringLiteral("demo"), QStringLiteral("demo"));
    world.Tick();
    QVERIFY(world.SessionUser(*fresh));
}

void TestSimWorld::mailIsNumberedForEveryAccount() {
    World world(4, false);
    world.AddUser(QStringLiteral("me"), QStringLiteral("x"), false);
    world.AddUser(QStringLiteral("you"), QStringLiteral("x"), false);
    world.AddCrowd(10);
    QCOMPARE(world.LeaveMail(), 2);
    QCOMPARE(world.LeaveMail(), 2);
    QSet<QString> texts;
    for (const QString& account : {QStringLiteral("me"), QStringLiteral("you")}) {
        const QList<Message>& inbox = world.FindUser(account)->Inbox;
        QCOMPARE(inbox.size(), 2);
        for (const Message& message : inbox) {
            QVERIFY(message.Text.startsWith(QStringLiteral("Zpráva č. %1:").arg(message.Id)));
            QVERIFY(world.FindUser(message.Sender) && world.FindUser(message.Sender)->Simulated);
            texts.insert(message.Text);
        }
    }
    QCOMPARE(texts.size(), 4);
}

void TestSimWorld::stateCarriesTheWorldOverARestart() {
    World before(8);
    before.AddCrowd(30);
    before.SetSessionLife(7);
    for (int tick = 0; tick < 40; ++tick) {
        before.Tick();
    }
    const quint64 lastId = before.QueueMessage(QStringLiteral("demo"), QStringLiteral("Ema"), QStringLiteral("a"));
    const std::optional<QString> key = before.Login(QStringLiteral("demo"), QStringLiteral("demo"));
    const QJsonObject state = QJsonDocument::fromJson(QJsonDocument(before.State()).toJson()).object();

    World after(99, false);
    QVERIFY(after.RestoreState(state));
    QJsonObject expected = before.ToJson();
    QJsonObject restored = after.ToJson();
    expected.remove(QStringLiteral("sessions"));
    QCOMPARE(restored.value(QStringLiteral("sessions")).toArray().size(), 0); // a restarted service forgot them
    restored.remove(QStringLiteral("sessions"));
    QCOMPARE(restored, expected);
    QCOMPARE(after.SessionLifeMinutes(), 7);
    QVERIFY(!after.SessionUser(*key));
    // Ids and time stamps go on from where they were, so that no message is taken for one delivered before.
    const quint64 nextId = after.QueueMessage(QStringLiteral("demo"), QStringLiteral("Ema"), QStringLiteral("b"));
    QCOMPARE(nextId, lastId + 1);
    const QList<Message>& inbox = after.FindUser(QStringLiteral("demo"))->Inbox;
    QVERIFY(inbox.last().Stamp > inbox.at(inbox.size() - 2).Stamp);
}

void TestSimWorld::stateItCannotReadChangesNothing_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("another version") << u"version"_qs << QJsonValue(2);
    QTest::newRow("no rooms") << u"rooms"_qs << QJsonValue(QJsonArray());
    QTest::newRow("a last id that is no number") << u"lastMessageId"_qs << QJsonValue(u"many"_qs);
    QTest::newRow("a nick with a delimiter")
        << u"users"_qs << QJsonValue(QJsonArray{QJsonObject{{u"nick"_qs, u"a*b"_qs}}});
    QTest::newRow("a message id that is no number")
        << u"users"_qs
        << QJsonValue(QJsonArray{
               QJsonObject{{u"nick"_qs, u"demo"_qs}, {u"inbox"_qs, QJsonArray{QJsonObject{{u"id"_qs, u"x"_qs}}}}}});
}

void TestSimWorld::stateItCannotReadChangesNothing() {
    QFETCH(QString, field);
    QFETCH(QJsonValue, value);
    World source(3);
    QJsonObject state = source.State();
    state.insert(field, value);
    World world(5);
    world.Tick();
    const QByteArray snapshot = Snapshot(world);
    QVERIFY(!world.RestoreState(state));
    QCOMPARE(Snapshot(world), snapshot);
}

QTEST_GUILESS_MAIN(TestSimWorld)
#include "tst_simworld.moc"
