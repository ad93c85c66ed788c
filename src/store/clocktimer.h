#pragma once

#include <QObject>
#include <QTimer>

// A single-shot timer on the program's clock (store/testing.h): armed for the moment something is due, it fires then
// and not before, also when a test run squeezes the clock or a test steps it. Between its start and its end the
// process sleeps: nothing polls.
class TClockTimer : public QObject {
    Q_OBJECT
public:
    explicit TClockTimer(QObject* parent = nullptr);
    ~TClockTimer() override;

    // Arms the timer for the time `due` of the program's clock (at once when that has passed); a timer armed before
    // is moved.
    void StartAt(qint64 due);
    void StartIn(qint64 ms);
    void Stop();
    bool IsActive() const { return Active; }
    // When it fires, while it is active.
    qint64 Due() const { return DueAt; }
    // The wait the wall clock was given for it, in milliseconds; -1 while none runs (inactive, or a stepped clock).
    int WallWait() const { return Wall.isActive() ? Wall.interval() : -1; }

Q_SIGNALS:
    void timeout();

private:
    friend void StepClock(qint64 ms);
    friend void SetSteppedClock(bool on);
    // The active timer due first, at `end` at the latest; those due together in the order they were armed.
    static TClockTimer* FirstDue(qint64 end);
    static void ClockModeChanged();
    void Arm(qint64 due, qint64 now);
    void ArmWall(qint64 now);
    void WallTimeout();
    void Fire();

    QTimer Wall;
    bool Active = false;
    qint64 DueAt = 0;
    quint64 Order = 0;
};
