// The main window's coming and going: the tray icon's clicks, hiding when another program becomes active, and
// the announcements' way to the desktop's notifications.
#include "app/abouttokickform.h"
#include "app/desktopnotifier.h"
#include "app/mainform.h"
#include "app/notifyform.h"
#include "store/settings.h"

#include <QApplication>
#include <QSystemTrayIcon>

void TMainForm::ConnectTrayAndNotices() {
    if (TrayIcon) {
        connect(TrayIcon, &QSystemTrayIcon::activated, this, &TMainForm::TrayIconActivated);
    }
    // Where the pointer cannot be followed, the popup and the warning hang over this window.
    NotifyForm->Placement.SetAnchor(this);
    AboutToKickForm->Placement.SetAnchor(this);
    DesktopNotifier = new TDesktopNotifier(this);
    connect(NotifyForm.get(), &TNotifyForm::RunStarted, this, &TMainForm::AnnounceOnDesktop);
    connect(this, &TMainForm::MessageStored, this, &TMainForm::MessageOnDesktop);
    connect(DesktopNotifier, &TDesktopNotifier::MainWindowWanted, this, &TMainForm::BringToFront);
}

void TMainForm::TrayIconActivated(QSystemTrayIcon::ActivationReason reason) {
    // A double click arrives after the press that began it: the window toggles twice and stays as it was.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
        TrayIconLeftClick();
    }
}

void TMainForm::TrayIconLeftClick() {
    if (isVisible()) {
        hide();
    } else {
        BringToFront();
    }
}

void TMainForm::BringToFront() {
    show();
    raise();
    activateWindow();
}

bool TMainForm::TrayReachable() const {
    return TrayIcon && TrayIcon->isVisible() && SystemTrayAvailable();
}

void TMainForm::WMActivate() {
    // Deactivated in favour of another program (the program's own dialogs and popups change nothing): out of the
    // way, unless the window stays on top, or no tray icon is there to bring it back.
    if (QApplication::activeWindow() == nullptr && !windowFlags().testFlag(Qt::WindowStaysOnTopHint) &&
        TrayReachable()) {
        hide();
    }
}

void TMainForm::AnnounceOnDesktop(const QStringList& nicks) {
    if (!Settings.SuspendNotifications) {
        DesktopNotifier->Announce(nicks);
    }
}

void TMainForm::MessageOnDesktop(const QString& sender) {
    if (!Settings.SuspendNotifications) {
        DesktopNotifier->MessageStored(sender);
    }
}
