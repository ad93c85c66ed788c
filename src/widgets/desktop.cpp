#include "widgets/desktop.h"

#include <QApplication>
#include <QDesktopServices>

namespace {

struct TDesktopState {
    bool TestMode = false;
    TDesktop::TObserver Observer;
};

TDesktopState& State() {
    static TDesktopState state;
    return state;
}

// Tells the observer of the call; true when it should also reach the desktop.
bool Record(const QString& call) {
    if (State().Observer) {
        State().Observer(call);
    }
    return !State().TestMode;
}

} // namespace

void TDesktop::Beep() {
    if (Record(QStringLiteral("beep"))) {
        QApplication::beep();
    }
}

void TDesktop::CriticalStopBeep() {
    // The desktop offers one beep; the critical stop is told apart only in the record.
    if (Record(QStringLiteral("critical-stop"))) {
        QApplication::beep();
    }
}

void TDesktop::OpenUrl(const QUrl& url) {
    if (Record(QStringLiteral("open ") + url.toString())) {
        QDesktopServices::openUrl(url);
    }
}

void TDesktop::RecordSound(const QString& fileName) {
    Record(QStringLiteral("sound ") + fileName);
}

void TDesktop::SetTestMode(bool on) {
    State().TestMode = on;
}

bool TDesktop::TestMode() {
    return State().TestMode;
}

void TDesktop::SetObserver(TObserver observer) {
    State().Observer = std::move(observer);
}
