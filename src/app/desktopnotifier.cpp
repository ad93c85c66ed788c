#include "app/desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

const QString TDesktopNotifier::Service = QStringLiteral("org.freedesktop.Notifications");
const QString TDesktopNotifier::Path = QStringLiteral("/org/freedesktop/Notifications");
const QString TDesktopNotifier::Interface = QStringLiteral("org.freedesktop.Notifications");

namespace {

const QString AnnouncementSlot;
const QString MessageSlotPrefix = QStringLiteral("message:");
const QString DefaultAction = QStringLiteral("default");

// Whether a session bus is there to connect to. Without an address the bus library would try to launch a bus of
// its own for the display, which is no business of this program's.
bool SessionBusAnnounced() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus")));
}

} // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent)
    : QObject(parent) {
    if (SessionBusAnnounced()) {
        Attach(QDBusConnection::sessionBus());
    }
}

TDesktopNotifier::TDesktopNotifier(const QDBusConnection& connection, QObject* parent)
    : QObject(parent) {
    Attach(connection);
}

void TDesktopNotifier::Attach(const QDBusConnection& connection) {
    if (!connection.isConnected()) {
        return;
    }
    Bus = connection;
    // Signals from any sender: naming the service would make the bus library ask for its owner, and wait for the
    // answer. The ids tell our notifications apart.
    Bus->connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this, SLOT(ActionInvoked(uint, QString)));
    Bus->connect(QString(), Path, Interface, QStringLiteral("NotificationClosed"), this,
                 SLOT(NotificationClosed(uint, uint)));
}

void TDesktopNotifier::Announce(const QStringList& nicks) {
    if (nicks.isEmpty()) {
        return;
    }
    Send(AnnouncementSlot, QStringLiteral("Nově na chatu: ") + nicks.join(QStringLiteral(", ")));
}

void TDesktopNotifier::MessageStored(const QString& sender) {
    Send(MessageSlotPrefix + sender.toCaseFolded(), QStringLiteral("Nová zpráva od ") + sender);
}

void TDesktopNotifier::Send(const QString& slotKey, const QString& summary) {
    if (!Bus) {
        return;
    }
    TSlot& slot = Slots[slotKey];
    if (slot.CallPending) {
        // Only the reply to the call on its way tells which notification the newer one replaces.
        slot.Waiting = summary;
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    const bool message = slotKey != AnnouncementSlot;
    const QStringList actions =
        message ? QStringList{DefaultAction, QStringLiteral("Zobrazit Cvrlika")} : QStringList();
    QVariantMap hints;
    // The desktop entry and the icon are installed under the application id.
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral(CVRLIK_APP_ID));
    // The nicks and senders go into the summary, which a server never reads as markup.
    call << QStringLiteral("Cvrlik") << slot.Id << QStringLiteral(CVRLIK_APP_ID) << summary << QString() << actions
         << hints << qint32(-1);
    slot.CallPending = true;
    auto* watcher = new QDBusPendingCallWatcher(Bus->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, slotKey](QDBusPendingCallWatcher* finished) { Replied(slotKey, finished); });
}

void TDesktopNotifier::Replied(const QString& slotKey, QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    TSlot& slot = Slots[slotKey];
    slot.CallPending = false;
    const QDBusPendingReply<uint> reply = *watcher;
    // A server that is gone or failed shows nothing; the next notification starts afresh.
    slot.Id = reply.isError() ? 0 : reply.value();
    Q_EMIT Delivered(!reply.isError());
    if (slot.Waiting) {
        const QString summary = *slot.Waiting;
        slot.Waiting.reset();
        Send(slotKey, summary);
    }
}

void TDesktopNotifier::ActionInvoked(uint id, const QString& actionKey) {
    if (id == 0 || actionKey != DefaultAction) {
        return;
    }
    for (auto slot = Slots.cbegin(); slot != Slots.cend(); ++slot) {
        if (slot.value().Id == id && slot.key() != AnnouncementSlot) {
            Q_EMIT MainWindowWanted();
            return;
        }
    }
}

void TDesktopNotifier::NotificationClosed(uint id, uint reason) {
    Q_UNUSED(reason);
    for (TSlot& slot : Slots) {
        if (slot.Id == id) {
            slot.Id = 0; // the next one is a new notification
        }
    }
}
