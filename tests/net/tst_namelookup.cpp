// The socket's name lookup: numeric hosts at once, names on a thread of their own with IPv4 preferred, and an answer
// that arrives for a cancelled lookup or a socket already gone never reaching anyone.
#include "net/asyncsocket.h"
#include "net/neterror.h"

#include <QSignalSpy>
#include <QTest>
#include <arpa/inet.h>
#include <functional>
#include <netinet/in.h>
#include <utility>

namespace {

QString Text(const TSocketAddress& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.Storage.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&address.Storage)->sin_addr, text, sizeof text);
    } else if (address.Storage.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&address.Storage)->sin6_addr, text, sizeof text);
    }
    return QString::fromLatin1(text);
}

// Runs an action just before the event loop hands the application object its first call from another thread (a
// lookup's answer), then lets the call go on.
class TBeforeFirstAnswer : public QObject {
public:
    explicit TBeforeFirstAnswer(std::function<void()> action)
        : Action(std::move(action)) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    bool Ran() const { return !Action; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (Action && watched == QCoreApplication::instance() && event->type() == QEvent::MetaCall) {
            std::exchange(Action, nullptr)();
        }
        return false;
    }

private:
    std::function<void()> Action;
};

} // namespace

class TestNameLookup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lookupFindsTheAddress_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("atOnce");
        QTest::addColumn<QString>("address");
        QTest::newRow("IPv4 address, no name service")
            << QStringLiteral("127.0.0.1") << true << QStringLiteral("127.0.0.1");
        QTest::newRow("IPv6 address, no name service") << QStringLiteral("::1") << true << QStringLiteral("::1");
        QTest::newRow("a name, IPv4 preferred") << QStringLiteral("localhost") << false << QStringLiteral("127.0.0.1");
    }

    void lookupFindsTheAddress() {
        QFETCH(QString, host);
        QFETCH(bool, atOnce);
        QFETCH(QString, address);
        TAsyncSocket socket;
        QSignalSpy done(&socket, &TAsyncSocket::OnLookupDone);
        socket.StartLookup(host);
        QCOMPARE(done.count() == 1, atOnce);
        QVERIFY(done.count() == 1 || done.wait(30000));
        QCOMPARE(done.first().first().value<quint16>(), NetError::None);
        QCOMPARE(Text(socket.LookupResult()), address);
        QVERIFY(!socket.LookupRunning());
    }

    void staleAnswerReachesNobody_data() {
        QTest::addColumn<bool>("restart");
        QTest::newRow("cancelled") << false;
        QTest::newRow("started again with a numeric host") << true;
    }

    void staleAnswerReachesNobody() {
        QFETCH(bool, restart);
        TAsyncSocket socket;
        QSignalSpy done(&socket, &TAsyncSocket::OnLookupDone);
        socket.StartLookup(QStringLiteral("localhost"));
        socket.CancelLookup();
        if (restart) {
            socket.StartLookup(QStringLiteral("10.1.2.3"));
        }
        // A second lookup's answer comes after the first one's, both through the event loop.
        TAsyncSocket witness;
        QSignalSpy witnessDone(&witness, &TAsyncSocket::OnLookupDone);
        witness.StartLookup(QStringLiteral("localhost"));
        QVERIFY(witnessDone.wait(30000));
        QCoreApplication::processEvents();
        QCOMPARE(done.count(), restart ? 1 : 0);
        QCOMPARE(Text(socket.LookupResult()), restart ? QStringLiteral("10.1.2.3") : QString());
    }

    void cancelledAnswerDuringTheNextLookupIsDropped() {
        TAsyncSocket socket;
        QSignalSpy done(&socket, &TAsyncSocket::OnLookupDone);
        socket.StartLookup(QStringLiteral("no-such-host.invalid"));
        socket.CancelLookup();
        // The next lookup starts just as the cancelled one's answer reaches the event loop, so that the answer
        // arrives while a lookup runs.
        TBeforeFirstAnswer hook([&socket] { socket.StartLookup(QStringLiteral("localhost")); });
        QVERIFY(done.wait(30000));
        QCOMPARE(done.first().first().value<quint16>(), NetError::None);
        QCOMPARE(Text(socket.LookupResult()), QStringLiteral("127.0.0.1"));
        QVERIFY(hook.Ran());
    }

    void answerForASocketGoneIsDropped() {
        auto* socket = new TAsyncSocket;
        socket->StartLookup(QStringLiteral("localhost"));
        delete socket;
        TAsyncSocket witness;
        QSignalSpy witnessDone(&witness, &TAsyncSocket::OnLookupDone);
        witness.StartLookup(QStringLiteral("localhost"));
        QVERIFY(witnessDone.wait(30000));
    }
};

QTEST_GUILESS_MAIN(TestNameLookup)
#include "tst_namelookup.moc"
