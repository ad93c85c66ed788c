#pragma once

#include "programrun.h"
#include "simprocess.h"

#include <QList>
#include <QTextStream>

struct TFiguresOptions {
    QString Program;    // cvrlik
    QString SimProgram; // klabos-sim
    QString Platform = QStringLiteral("offscreen");
    QString Display; // for xcb
    int Watched = 200;
    int IdleSeconds = 120;
    int Squeeze = 60;     // the squeezed hour runs this many times faster
    int HourSeconds = 60; // how long the squeezed run lasts
};

// The whole program's figures against the stand-in, logged in with 200 watched users: CPU and wake-ups while idle,
// resident memory after the start and after a squeezed hour, the time to the first painted window and to the first
// people request, the time from a people reply to the repainted list, and how long the program takes to end after a
// termination signal (idle, and while the stand-in holds the reply to its login). CPU and wake-ups come from the
// process's own counters, so a loaded machine changes them little; the times are wall time and do change.
class TFiguresRun {
public:
    TFiguresRun(TFiguresOptions options, QTextStream& out);
    bool Run();

private:
    bool StartRun(TProgramRun& program, TSimProcess& sim, int timeDivisor);
    // Starts the stand-in (holding every reply that long) and the program against it.
    bool StartProgram(TProgramRun& program, TSimProcess& sim, int timeDivisor, int replyDelayMs = 0);
    bool WaitForList(const TProgramRun& program, int timeoutMs) const;
    void StartFigures(const TProgramRun& program, TSimProcess& sim);
    void IdleFigures(const TProgramRun& program);
    void SqueezedHour();
    void QuitDuringAHeldLogin();
    // Sends SIGTERM and prints the time until the program has ended.
    void QuitLatency(TProgramRun& program, const QString& when);
    void Latencies(const TProgramRun& program);
    void Print(const QString& name, const QString& value, const QString& target = QString());

    TFiguresOptions Options;
    QTextStream& Out;
    QList<double> ReplyToPaintMs;
    bool Failed = false;
};
