// The on-line list rebuild on its own, without a window.
#include "session/arrivallist.h"
#include "session/onlinelistupdate.h"

#include <QTest>
#include <QThread>

namespace {

using TWatchedList = QList<TWatchedUser>;

// One record of the people reply as the service writes it.
QString Room(const QString& nick, int idle, const QString& room, const QString& id) {
    return QStringLiteral("00%1*%2>%3#%4>\n").arg(idle).arg(nick, room, id);
}
QString Client(const QString& nick) {
    return QStringLiteral(" *%1>KLIENT#>\n").arg(nick);
}

// The list as one line per entry: nick, client mark, smallest idle and rooms.
QStringList Describe(const TOnlineList& list) {
    QStringList lines;
    for (int index = 0; index < list.Count(); ++index) {
        const TItemDetails* details = list.DetailsAt(index);
        QString line = list.NickAt(index);
        if (details->IsClient) {
            line += QStringLiteral(" client");
        }
        line += QStringLiteral(" %1").arg(details->MinIdle);
        for (const TRoomObject* room = details->Rooms.get(); room; room = room->Next.get()) {
            line += QStringLiteral(" %1#%2%3").arg(room->RoomName, room->RoomId, room->IdleText);
        }
        lines << line;
    }
    return lines;
}

struct TFixture {
    TOnlineList List;
    TArrivalList Arrivals;
    QStringList ReplyNicks;
    QStringList NotifyNicks;
    TListUpdateSettings Options{QStringLiteral("Me"), true, 600000};

    TListUpdateResult Run(const QString& reply, const TWatchedList& watched) {
        TOnlineListUpdate update(List, Arrivals, ReplyNicks, NotifyNicks);
        return update.Run(reply, watched, Options);
    }
};

} // namespace

class TestListUpdate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rebuild_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<TWatchedList>("watched");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("announced");
        QTest::addColumn<int>("ownIdle");

        const TWatchedList watched{{"alice", true}, {"Bob", false}, {"cyril", true}};
        QTest::newRow("two rooms: one entry, rooms in reply order, smallest idle")
            << Room("alice", 12, "Lobby", "42") + Room("alice", 3, "Bar", "7") << watched
            << QStringList{"alice 3 Lobby#42(12) Bar#7(3)", "Bob 0", "cyril 0"} << QStringList{"alice"} << 0;
        QTest::newRow("client and room: client mark, the room's idle")
            << Client("cyril") + Room("cyril", 5, "Lobby", "1") << watched
            << QStringList{"cyril client 5 Lobby#1(5)", "alice 0", "Bob 0"} << QStringList{"cyril"} << 0;
        QTest::newRow("client only: idle 65535, no room")
            << Client("alice") << watched << QStringList{"alice client 65535", "Bob 0", "cyril 0"}
            << QStringList{"alice"} << 0;
        QTest::newRow("only off-line users: watched-list order, nobody announced")
            << QStringLiteral("lidi\n") << watched << QStringList{"alice 0", "Bob 0", "cyril 0"} << QStringList{} << 0;
        QTest::newRow("on-line sorted ignoring case, spelt as in the reply; announced in alphabetical order")
            << Room("CYRIL", 1, "A", "1") + Room("bob", 2, "A", "1") + Room("Alice", 3, "A", "1") << watched
            << QStringList{"Alice 3 A#1(3)", "bob 2 A#1(2)", "CYRIL 1 A#1(1)"} << QStringList{"alice", "cyril"} << 0;
        QTest::newRow("unwatched nick is not listed")
            << Room("stranger", 1, "A", "1") << watched << QStringList{"alice 0", "Bob 0", "cyril 0"} << QStringList{}
            << 0;
        QTest::newRow("own unwatched nick is ignored, its idle too")
            << Room("me", 11, "A", "1") + Room("ME", 4, "B", "2") << watched
            << QStringList{"alice 0", "Bob 0", "cyril 0"} << QStringList{} << 0;
        QTest::newRow("own watched nick is listed") << Room("Me", 7, "A", "1") << TWatchedList{{"me", false}}
                                                    << QStringList{"Me 7 A#1(7)"} << QStringList{} << 7;
        QTest::newRow("own idle that is no number resets it")
            << Room("me", 30, "A", "1") + QStringLiteral("0x*me>B#2>") << TWatchedList{{"me", false}}
            << QStringList{"me 0 A#1(30) B#2(x)"} << QStringList{} << 0;
        QTest::newRow("quotes arrive as &quot;")
            << QStringLiteral("005*Ferda &quot;M&quot;>Sport &quot;X&quot;#27>") << TWatchedList{{"Ferda \"M\"", true}}
            << QStringList{"Ferda \"M\" 5 Sport \"X\"#27(5)"} << QStringList{"Ferda \"M\""} << 0;
        QTest::newRow("empty watched list: empty list")
            << Room("alice", 1, "A", "1") << TWatchedList{} << QStringList{} << QStringList{} << 0;
        QTest::newRow("error page: empty list")
            << QStringLiteral("<html><title>ERROR</title></html>") << watched << QStringList{} << QStringList{} << 0;
    }
    void rebuild() {
        QFETCH(QString, reply);
        QFETCH(TWatchedList, watched);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, announced);
        QFETCH(int, ownIdle);
        TFixture fixture;
        const TListUpdateResult result = fixture.Run(reply, watched);
        QCOMPARE(Describe(fixture.List), entries);
        QCOMPARE(fixture.NotifyNicks, announced);
        QCOMPARE(result.OwnIdle, ownIdle);
        QCOMPARE(result.ErrorReply, reply.contains(QLatin1String("ERROR")));
    }

    void replyNicksKeepEveryNickInOrder() {
        TFixture fixture;
        fixture.Run(Room("b", 1, "A", "1") + Room("x", 1, "A", "1") + Room("b", 2, "B", "2"), {{"b", false}});
        QCOMPARE(fixture.ReplyNicks, (QStringList{"b", "x", "b"}));
    }

    void arrivalWindow_data() {
        QTest::addColumn<bool>("newUsersOnly");
        QTest::addColumn<qint64>("elapsed"); // milliseconds since the arrival
        QTest::addColumn<bool>("announced");
        QTest::newRow("new users only, just arrived") << true << qint64(0) << true;
        QTest::newRow("new users only, last moment of the window") << true << qint64(599999) << true;
        QTest::newRow("new users only, window over") << true << qint64(600000) << false;
        QTest::newRow("every user, window over") << false << qint64(600001) << true;
    }
    void arrivalWindow() {
        QFETCH(bool, newUsersOnly);
        QFETCH(qint64, elapsed);
        QFETCH(bool, announced);
        TFixture fixture;
        fixture.Options.NotifyNewUsersOnly = newUsersOnly;
        fixture.Options.Now = 1000;
        const TWatchedList watched{{"Alice", true}};
        fixture.Run(Room("alice", 1, "A", "1"), watched);
        QCOMPARE(fixture.Arrivals.Count(), 1);
        QCOMPARE(fixture.Arrivals.At(0).Nick, QStringLiteral("Alice")); // spelt as watched
        QCOMPARE(fixture.Arrivals.At(0).ArrivalTime, qint64(1000));
        fixture.Options.Now = 1000 + elapsed;
        fixture.Run(Room("alice", 2, "A", "1"), watched);
        QCOMPARE(fixture.NotifyNicks.contains(QStringLiteral("Alice")), announced);
        QCOMPARE(fixture.Arrivals.At(0).ArrivalTime, qint64(1000)); // on-line: the arrival stays
    }

    void goingOfflineRestartsTheArrival() {
        TFixture fixture;
        const TWatchedList watched{{"alice", true}};
        fixture.Run(Room("alice", 1, "A", "1"), watched);
        fixture.Options.Now = 5000000;
        fixture.Run(QString(), watched);
        QCOMPARE(fixture.Arrivals.At(0).ArrivalTime, qint64(5000000));
        fixture.Run(Room("alice", 1, "A", "1"), watched);
        QCOMPARE(fixture.NotifyNicks, QStringList{"alice"});
    }

    void largeReplyMatchesTheLinearRules() {
        // Many users, some of them in several rooms: every watched user once, on-line ones sorted first.
        QString reply;
        TWatchedList watched;
        for (int user = 0; user < 500; ++user) {
            const QString nick = QStringLiteral("user%1").arg(user, 3, 10, QLatin1Char('0'));
            if (user % 2 == 0) {
                watched.append({nick, user % 4 == 0});
            }
            if (user % 3 == 0) {
                reply += Room(nick, user % 50 + 1, "R", QString::number(user % 7));
                reply += Room(nick.toUpper(), 1, "S", "9");
            }
        }
        TFixture fixture;
        fixture.Run(reply, watched);
        QCOMPARE(fixture.List.Count(), watched.size());
        int online = 0;
        while (online < fixture.List.Count() && fixture.List.DetailsAt(online)->Rooms) {
            QCOMPARE(fixture.List.DetailsAt(online)->RoomCount(), 2);
            QCOMPARE(fixture.List.DetailsAt(online)->MinIdle, 1);
            ++online;
        }
        QCOMPARE(online, 84); // multiples of 6 below 500
        for (int index = 1; index < online; ++index) {
            QVERIFY(QString::compare(fixture.List.NickAt(index - 1), fixture.List.NickAt(index), Qt::CaseInsensitive) <
                    0);
        }
        QCOMPARE(fixture.NotifyNicks.size(), 42); // multiples of 12
    }

    void userInCountlessRoomsNeedsNoMoreStack() {
        // A broken reply may name one user in every record: a reply as large as the program accepts holds over a
        // million of them. Building and freeing the entry must not nest a call per room, so it runs here on a
        // thread whose stack is far smaller than the rooms would take nested.
        constexpr int Rooms = 100000;
        const QString reply = QStringLiteral("*a<#1>").repeated(Rooms);
        int roomCount = 0;
        bool freed = false;
        std::unique_ptr<QThread> thread(QThread::create([&] {
            TFixture fixture;
            fixture.Run(reply, {{"a", false}});
            roomCount = fixture.List.DetailsAt(0)->RoomCount();
            fixture.List.Clear();
            freed = fixture.List.Count() == 0;
        }));
        thread->setStackSize(512 * 1024);
        thread->start();
        QVERIFY(thread->wait());
        QCOMPARE(roomCount, Rooms);
        QVERIFY(freed);
    }
};

QTEST_GUILESS_MAIN(TestListUpdate)
#include "tst_listupdate.moc"
