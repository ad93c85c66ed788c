#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <optional>

class QDBusPendingCallWatcher;

// Desktop notifications through the desktop's notification server on the session bus
// (org.freedesktop.Notifications). One notification names the nicks of the latest announcement run, replacing the
// one before it; each sender of newly stored messages has one of their own, whose default action asks for the main
// window. Every call is asynchronous, so a slow or vanished server never holds up the program; without a session
// bus or a server nothing is shown and nothing fails.
class TDesktopNotifier : public QObject {
    Q_OBJECT
public:
    // On the user's session bus, when there is one.
    explicit TDesktopNotifier(QObject* parent = nullptr);
    // On the given connection (a test's private bus).
    TDesktopNotifier(const QDBusConnection& connection, QObject* parent = nullptr);

    static const QString Service;
    static const QString Path;
    static const QString Interface;

    void Announce(const QStringList& nicks);
    void MessageStored(const QString& sender);

    bool Connected() const { return Bus.has_value(); }

Q_SIGNALS:
    // The user chose a message notification: the main window should come up.
    void MainWindowWanted();
    // A notification call came back: shown by the server, or not (no server, or it failed).
    void Delivered(bool shown);

private Q_SLOTS:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    // One kind of notification that replaces its own previous one: the server's id of the one shown, and a newer
    // text waiting while a call is on its way (its reply brings the id the next one replaces).
    struct TSlot {
        uint Id = 0;
        bool CallPending = false;
        std::optional<QString> Waiting;
    };

    void Attach(const QDBusConnection& connection);
    void Send(const QString& slotKey, const QString& summary);
    void Replied(const QString& slotKey, QDBusPendingCallWatcher* watcher);

    std::optional<QDBusConnection> Bus;
    QHash<QString, TSlot> Slots; // "" for announcements, "message:" + folded sender for messages
};
