#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Knobs for the soak, the crash harness and the whole-program figures, off in normal use. They come from the
// environment of a test run, never from the user's store: a settings file someone imports must not switch them on.
//
// CVRLIK_TEST_TIME_DIVISOR (a whole number, 1 to 1000): every clock of the program runs that many times faster (the
// program's clock with every deadline kept on it, the popups, the HTTP clients' timeouts), so an hour of use passes in
// minutes. While it holds a valid divisor, the program also appends what it does that a test cannot see from
// outside (the boxes it opens, its first painted window, the list repainted after a reply) to "testing.log" in its
// data folder.
inline const QString TimeDivisorVariable = QStringLiteral("CVRLIK_TEST_TIME_DIVISOR");

struct TTesting {
    bool Active = false;
    qint32 TimeDivisor = 1;
};

// Reads the knobs once, at start, before the first window; a test run's record begins with "test-run" and the
// divisor. A missing variable, or one that is not a divisor in range, leaves testing off.
void LoadTesting(const QProcessEnvironment& environment);
const TTesting& Testing();
void SetTesting(const TTesting& testing);

// An interval of the program's clock as it runs now: divided by the divisor, never below 1 ms (0, no limit, stays).
int Squeezed(int ms);

// The program's clock, in milliseconds: a monotonic clock that runs TimeDivisor times faster than the wall clock in a
// test run. Every deadline of the program (refresh, watchdog, reconnect, the end of a newly-arrived mark) is a time
// on it, kept by a TClockTimer (store/clocktimer.h).
qint64 ClockNow();
// A stepped clock, for tests: while it is on, ClockNow() stands still and no clock timer fires by itself. StepClock
// moves the clock on and fires, in the order they are due, the clock timers that fall due on the way (a timer armed by
// one of them fires too when it falls due before the step's end).
void SetSteppedClock(bool on);
bool SteppedClock();
void StepClock(qint64 ms);

// The record's file, and one line for it when testing is active: milliseconds since the epoch, the process's CPU
// time in microseconds, the event and its details (a backslash, tab and line breaks in them written as \\, \t, \n,
// \r), separated by tabs.
QString TestingRecordPath();
void RecordTestingEvent(const QString& event, const QStringList& details = {});
