// The socket's name lookup: numeric hosts at once, names on a thread of their own with every address found, and an
// answer that arrives for a cancelled lookup or a socket already gone never reaching anyone; the connect going on
// to the next address when one fails.
#include "net/asyncsocket.h"
#include "net/neterror.h"

#include <QSignalSpy>
#include <QTcpServer>
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

QStringList Texts(const QList<TSocketAddress>& addresses) {
    QStringList texts;
    for (const TSocketAddress& address : addresses) {
        texts << Text(address);
    }
    return texts;
}

TSocketAddress Numeric(const QString& host) {
    TSocketAddress address;
    NumericAddress(host, address);
    return address;
}

// Runs an action just before the event loop hands on its first call from another thread (a lookup's answer), then
// lets the call go on.
class TBeforeFirstAnswer : public QObject {
public:
    explicit TBeforeFirstAnswer(std::function<void()> action)
        : Action(std::move(action)) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    bool Ran() const { return !Action; }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (Action && event->type() == QEvent::MetaCall) {
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
        QTest::newRow("a name") << QStringLiteral("localhost") << false << QStringLiteral("127.0.0.1");
        // Full-width letters: IDNA maps the name to plain "localhost".
        QTest::newRow("a name written with non-ASCII letters")
            << QStringLiteral("ｌｏｃａｌｈｏｓｔ") << false << QStringLiteral("127.0.0.1");
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
        QVERIFY2(Texts(socket.LookupResult()).contains(address), qPrintable(Texts(socket.LookupResult()).join(u' ')));
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
        QCOMPARE(Texts(socket.LookupResult()), restart ? QStringList{QStringLiteral("10.1.2.3")} : QStringList());
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
        QCOMPARE(Texts(socket.LookupResult()), QStringList{QStringLiteral("127.0.0.1")});
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

    // A host with an IPv6 and an IPv4 address where only one of them listens, in either order: the connection
    // goes to the one that listens.
    void connectGoesOnToTheNextAddress_data() {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("listening"); // empty: nobody listens
        QTest::newRow("first refused, second listens") << QStringList{"::1", "127.0.0.1"} << "127.0.0.1";
        QTest::newRow("IPv4 refused, IPv6 listens") << QStringList{"127.0.0.1", "::1"} << "::1";
        QTest::newRow("every address refused") << QStringList{"::1", "127.0.0.1"} << "";
    }
    void connectGoesOnToTheNextAddress() {
        QFETCH(QStringList, addresses);
        QFETCH(QString, listening);
        QTcpServer server;
        const QHostAddress host(listening.isEmpty() ? QStringLiteral("127.0.0.1") : listening);
        if (!server.listen(host)) {
            QSKIP("no such loopback address here");
        }
        const quint16 port = server.serverPort();
        if (listening.isEmpty()) {
            server.close();
        }
        QList<TSocketAddress> list;
        for (const QString& address : addresses) {
            list << Numeric(address);
        }
        TAsyncSocket socket;
        QSignalSpy connected(&socket, &TAsyncSocket::OnConnected);
        socket.Connect(list, port, 10000);
        QVERIFY(connected.wait(30000));
        const quint16 error = connected.first().first().value<quint16>();
        if (listening.isEmpty()) {
            QCOMPARE(error, NetError::Refused);
        } else {
            QCOMPARE(error, NetError::None);
            QVERIFY(server.hasPendingConnections() || server.waitForNewConnection(30000));
        }
    }
};

QTEST_GUILESS_MAIN(TestNameLookup)
#include "tst_namelookup.moc"
