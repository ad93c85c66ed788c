#include "store/clocktimer.h"

#include "store/testing.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

std::vector<TClockTimer*>& Timers() {
    static std::vector<TClockTimer*> timers;
    return timers;
}

quint64 NextOrder = 0;

} // namespace

TClockTimer::TClockTimer(QObject* parent)
    : QObject(parent) {
    Wall.setSingleShot(true);
    Wall.setTimerType(Qt::PreciseTimer);
    connect(&Wall, &QTimer::timeout, this, &TClockTimer::WallTimeout);
    Timers().push_back(this);
}

TClockTimer::~TClockTimer() {
    std::vector<TClockTimer*>& timers = Timers();
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

void TClockTimer::StartAt(qint64 due) {
    Arm(due, ClockNow());
}

void TClockTimer::StartIn(qint64 ms) {
    const qint64 now = ClockNow();
    Arm(now + ms, now);
}

void TClockTimer::Arm(qint64 due, qint64 now) {
    Active = true;
    DueAt = due;
    Order = ++NextOrder;
    ArmWall(now);
}

void TClockTimer::Stop() {
    Active = false;
    Wall.stop();
}

void TClockTimer::ArmWall(qint64 now) {
    if (!Active || SteppedClock()) {
        Wall.stop();
        return;
    }
    // Rounded up, so that it never fires before its time.
    const qint64 divisor = qMax(1, Testing().TimeDivisor);
    const qint64 ahead = qMax<qint64>(0, DueAt - now);
    const qint64 wait = (ahead + divisor - 1) / divisor;
    Wall.start(int(qMin<qint64>(wait, std::numeric_limits<int>::max())));
}

void TClockTimer::WallTimeout() {
    const qint64 now = ClockNow();
    if (now < DueAt) {
        ArmWall(now); // woken early, or a wait longer than the wall timer takes
        return;
    }
    Fire();
}

void TClockTimer::Fire() {
    Active = false;
    Wall.stop();
    Q_EMIT timeout();
}

TClockTimer* TClockTimer::FirstDue(qint64 end) {
    TClockTimer* first = nullptr;
    for (TClockTimer* timer : Timers()) {
        if (timer->Active && timer->DueAt <= end &&
            (!first || timer->DueAt < first->DueAt || (timer->DueAt == first->DueAt && timer->Order < first->Order))) {
            first = timer;
        }
    }
    return first;
}

void TClockTimer::ClockModeChanged() {
    const qint64 now = ClockNow();
    for (TClockTimer* timer : Timers()) {
        timer->ArmWall(now);
    }
}
