#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class TSysReg;

// Knobs for the soak and the whole-program figures, off in normal use. They live in the store key
// "SOFTWARE\Velmor\Cvrlik\Testing", which the settings dialog never shows or writes and which the program reads
// without ever creating it, so a user's store runs as it always has.
//
// "TimeDivisor" (integer, 1 to 1000): every clock of the program runs that many times faster (the 200 ms control
// timer, the 1 s refresh timer, the popups, the HTTP clients' timeouts), so an hour of use passes in minutes. While
// the key holds a valid divisor, the program also appends what it does that a test cannot see from outside (the
// boxes it opens, its first painted window, the list repainted after a reply) to "testing.log" in its data folder.
inline const QString TestingKey = QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Testing");

struct TTesting {
    bool Active = false;
    qint32 TimeDivisor = 1;
};

// Reads the key once, at start, before the first window. A missing key, or a divisor out of range, leaves testing
// off.
void LoadTesting(TSysReg& store);
const TTesting& Testing();
void SetTesting(const TTesting& testing);

// An interval of the program's clock as it runs now: divided by the divisor, never below 1 ms (0, no limit, stays).
int Squeezed(int ms);

// The record's file, and one line for it when testing is active: milliseconds since the epoch, the process's CPU
// time in microseconds, the event and its details (a backslash, tab and line breaks in them written as \\, \t, \n,
// \r), separated by tabs.
QString TestingRecordPath();
void RecordTestingEvent(const QString& event, const QStringList& details = {});
