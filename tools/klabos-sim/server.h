#pragma once

#include "recordedrequest.h"
#include "reply.h"
#include "service.h"
#include "world.h"

#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <utility>

namespace KlabosSim {

class Connection;
class ControlEndpoint;

// The stand-in for the Klabos service on 127.0.0.1: answers the program's requests directly or as its HTTP proxy,
// records every request, and can be steered (in-process through these calls, or over HTTP under /control/).
class Server : public QObject {
    Q_OBJECT

public:
    // Close and Reset end the connection without a reply; Cut sends the reply's header and the first half of its
    // body, then closes in order (the header announces the whole length).
    enum class DropKind { Close, Reset, Cut };

    // The world is seeded; with populate false it holds the rooms only (tests add who they need).
    explicit Server(quint32 seed, bool populate = true, QObject* parent = nullptr);
    ~Server() override;

    bool Listen(quint16 port = 0);
    // Stops taking connections, so clients see the connection refused, as with the service down; Listen(Port())
    // takes them again. Connections already open are answered.
    void StopListening() { Listener.close(); }
    quint16 Port() const { return Listener.serverPort(); }
    QString ErrorString() const { return Listener.errorString(); }

    World& TheWorld() { return SimWorld; }

    // Ticks the world every so many milliseconds (0 stops it).
    void StartClock(int msPerTick);
    int ClockInterval() const { return Clock.isActive() ? Clock.interval() : 0; }
    // Leaves a message for every account every so many milliseconds (0 stops it).
    void StartMail(int msPerMessage);
    int MailInterval() const { return MailClock.isActive() ? MailClock.interval() : 0; }

    // Proxy mode: requests with an absolute target must carry these Basic credentials, else they get 407. An empty
    // user switches the check off.
    void SetProxyAuth(const QString& user, const QString& password);
    // The next count service requests get an error page (a page with ERROR in its title) instead of their answer;
    // with an action given, only requests of that "akce" count (a busy world fails refreshes, not logins).
    void FailNext(int count, const QString& action = QString()) {
        FailCount = qMax(0, count);
        FailAction = action;
    }
    // Every reply to a service request waits this long before it is sent.
    void SetDelay(int ms) { DelayMs = qMax(0, ms); }
    // The next count service requests are read and then dropped without a reply, or answered cut short.
    void DropNext(int count, DropKind kind);

    const QList<RecordedRequest>& Requests() const { return Recorded; }
    void ClearRequests() { Recorded.clear(); }
    // The recorded requests, forgotten as they are handed out: none is lost or handed out twice.
    QList<RecordedRequest> TakeRequests() { return std::exchange(Recorded, {}); }

    int PendingFailures() const { return FailCount; }
    int PendingDrops() const { return DropCount; }
    int Delay() const { return DelayMs; }
    bool ProxyAuthRequired() const { return !ProxyUser.isEmpty(); }

Q_SIGNALS:
    void RequestRecorded(const KlabosSim::RecordedRequest& request);

private:
    void Accept();
    void Answer(KlabosSim::Connection* connection);
    bool ProxyAuthorised(const HttpRequest& request) const;
    bool FailsNow(const RecordedRequest& record);
    void Record(RecordedRequest record);
    void Finish(KlabosSim::Connection* connection, RecordedRequest record, const Reply& reply, int delayMs);

    QTcpServer Listener;
    QTimer Clock;
    QTimer MailClock;
    World SimWorld;
    Service SimService;
    ControlEndpoint* Control;
    QList<RecordedRequest> Recorded;
    QString ProxyUser;
    QString ProxyPassword;
    int FailCount = 0;
    QString FailAction;
    int DelayMs = 0;
    int DropCount = 0;
    DropKind DropAs = DropKind::Close;
};

} // namespace KlabosSim
