// The main window's time: which timers run in which state of the session, the deadlines (refresh, the connect
// watchdog, the automatic reconnect, the end of a newly-arrived mark) and the blinking of the lights, the "NET" label
// and the tray icon. Nothing polls: a timer runs only while something is due or something blinks, and an idle,
// logged-in program sleeps until its next refresh.
#include "app/mainform.h"
#include "app/onlinelistbox.h"
#include "settings/settingsform.h"
#include "store/clocktimer.h"
#include "store/settings.h"
#include "store/testing.h"
#include "widgets/imagelists.h"
#include "widgets/shape.h"

#include <QLabel>
#include <QSystemTrayIcon>
#include <limits>

void TMainForm::CreateTimers() {
    ControlTimer = new TClockTimer(this);
    connect(ControlTimer, &TClockTimer::timeout, this, &TMainForm::ControlTimerTimer);
    RefreshTimer = new TClockTimer(this);
    connect(RefreshTimer, &TClockTimer::timeout, this, &TMainForm::RefreshTimerTimer);
    WatchdogTimer = new TClockTimer(this);
    connect(WatchdogTimer, &TClockTimer::timeout, this, &TMainForm::WatchdogTimerTimer);
    ArrivalTimer = new TClockTimer(this);
    connect(ArrivalTimer, &TClockTimer::timeout, this, &TMainForm::ArrivalTimerTimer);
}

bool TMainForm::ReconnectPending() const {
    return Settings.AlwaysReconnect && ConnectionWanted && !Connecting && !Transferring && !LoggedIn;
}

bool TMainForm::Blinking() const {
    const bool lightsBlink = (Connecting && !Transferring) || (Transferring && !Connecting);
    // Without a tray there is no icon to see blink; a tray that appears later gets the blinking from the next change
    // of the state (a refresh at the latest).
    return lightsBlink || ReconnectPending() || (HasStoredMessages && TrayIcon && SystemTrayAvailable());
}

void TMainForm::StateChanged() {
    CountTicks();
    ShowLights(false);
    BlinkReconnectLabel(false);
    ShowTrayImage(false);
    if (!Blinking()) {
        ControlTimer->Stop();
    } else if (!ControlTimer->IsActive()) {
        ControlTimer->StartIn(BlinkStep);
    }
}

void TMainForm::ControlTimerTimer() {
    BlinkReconnectLabel(true);
    ShowLights(true);
    ShowTrayImage(true);
    if (Blinking()) {
        ControlTimer->StartIn(BlinkStep);
    }
}

void TMainForm::CountTicks() {
    // The time toward the watchdog or the next reconnect counts while a connect has not got through, and while a
    // reconnect is pending; it stands still in the other states.
    const bool counting = (Connecting && !Transferring) || ReconnectPending();
    const qint64 now = ClockNow();
    if (TickCountingSince >= 0 && !counting) {
        TickCounter += now - TickCountingSince;
        TickCountingSince = -1;
    } else if (TickCountingSince < 0 && counting) {
        TickCountingSince = now;
    }
    if (!counting) {
        WatchdogTimer->Stop();
        return;
    }
    const qint64 due = TickCountingSince + ConnectTimeLimit - TickCounter;
    if (!WatchdogTimer->IsActive() || WatchdogTimer->Due() != due) {
        WatchdogTimer->StartAt(due);
    }
}

void TMainForm::RestartTickCounter() {
    TickCounter = 0;
    TickCountingSince = -1;
    CountTicks();
}

void TMainForm::WatchdogTimerTimer() {
    if (Connecting && !Transferring) {
        // A connect that has not reached the server within the limit is restarted.
        ResetConnection();
        Connect();
    } else if (ReconnectPending()) {
        Connect();
    }
}

void TMainForm::ArmRefresh() {
    RefreshFrom = ClockNow();
    RefreshTimer->StartAt(RefreshDue());
}

qint64 TMainForm::RefreshDue() const {
    // The limit as it is set now: a change in the settings dialog moves a refresh already waiting.
    return RefreshFrom + (qint64(Settings.SessionRefresh) + 1) * 1000;
}

void TMainForm::RefreshTimerTimer() {
    if (ConnectionWanted) {
        Connect();
    }
}

qint64 TMainForm::NewArrivalMs() const {
    return qint64(Settings.StatusRefresh) * 60 * 1000;
}

bool TMainForm::NewlyArrived(const TArrivalRecord& arrival) const {
    return ClockNow() - arrival.ArrivalTime < NewArrivalMs();
}

void TMainForm::ArrivalsChanged() {
    // One timer, for the mark that ends first.
    const qint64 now = ClockNow();
    const qint64 span = NewArrivalMs();
    qint64 first = std::numeric_limits<qint64>::max();
    for (int index = 0; index < ArrivalList.Count(); ++index) {
        const qint64 end = ArrivalList.At(index).ArrivalTime + span;
        if (end > now && end < first) {
            first = end;
        }
    }
    if (first == std::numeric_limits<qint64>::max()) {
        ArrivalTimer->Stop();
    } else if (!ArrivalTimer->IsActive() || ArrivalTimer->Due() != first) {
        ArrivalTimer->StartAt(first);
    }
}

void TMainForm::ArrivalTimerTimer() {
    OnlineListBox->viewport()->update(); // a user stops being shown as newly arrived
    ArrivalsChanged();
}

void TMainForm::SettingsApplied() {
    StateChanged();
    if (RefreshTimer->IsActive()) {
        RefreshTimer->StartAt(RefreshDue());
    }
    ArrivalsChanged();
    OnlineListBox->viewport()->update();
}

void TMainForm::BlinkReconnectLabel(bool step) {
    if (!ReconnectPending()) {
        AlwaysReconnectLabel->hide();
    } else if (step) {
        AlwaysReconnectLabel->setVisible(AlwaysReconnectLabel->isHidden());
    }
}

void TMainForm::ShowLights(bool step) {
    if (Connecting && !Transferring) {
        if (!step) {
            return;
        }
        if (LoggedIn) {
            RedDiodShape->setVisible(RedDiodShape->isHidden());
            GreenDiodShape->show();
        } else {
            const bool greenWasOn = !GreenDiodShape->isHidden();
            GreenDiodShape->setVisible(!greenWasOn);
            RedDiodShape->setVisible(greenWasOn);
        }
    } else if (Connecting && Transferring) {
        // Both at once: the lights stay as they are.
    } else if (Transferring) {
        RedDiodShape->hide();
        if (step) {
            GreenDiodShape->setVisible(GreenDiodShape->isHidden());
        }
    } else if (LoggedIn) {
        GreenDiodShape->show();
        RedDiodShape->hide();
    } else {
        GreenDiodShape->hide();
        RedDiodShape->show();
    }
}

void TMainForm::ShowTrayImage(bool step) {
    if (!HasStoredMessages) {
        SetTrayImage(TrayNormalImage);
    } else if (step) {
        SetTrayImage(TrayImage == TrayBlankImage ? TrayMessageImage : TrayBlankImage);
    }
}

void TMainForm::SetTrayImage(int image) {
    if (image == TrayImage) {
        return; // the same look: no needless work for the tray
    }
    TrayImage = image;
    if (TrayIcon) {
        TrayIcon->setIcon(MiscImageList.value(image));
    }
}
