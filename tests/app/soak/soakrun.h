#pragma once

#include "messageledger.h"
#include "programrun.h"
#include "simprocess.h"

#include <QMap>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

// What a soak is asked to do.
struct TSoakOptions {
    QString Program;    // cvrlik
    QString SimProgram; // klabos-sim
    int Seconds = 60;
    int TimeDivisor = 20;
    int Crowd = 300;
    int Watched = 200;
    int MailMs = 2000;
    quint32 Seed = 1;
    qint64 ResidentBoundKb = 6 * 1024;
    bool CheckResident = true;
};

// The real program against the stand-in with a busy world and faults (error pages, dropped, reset and slow
// connections, expired keys, the stand-in frozen, or stopped and started again), its clocks squeezed so that an
// hour of use passes in minutes. At the end, with the faults over: every message the stand-in handed out is in the
// store once, the program is logged in again, its memory has not grown beyond the bound after the warm-up, and no
// box was opened (with network errors not to be reported, none may be). Prints what it saw.
class TSoakRun {
public:
    TSoakRun(TSoakOptions options, QTextStream& out);
    // True when every check held.
    bool Run();

private:
    bool SetUp();
    void SetWorldPace();
    void Soak();
    void Fault();
    void Restart();
    void Freeze();
    bool Quieten();
    void TakeRequests();
    void SampleResident(qint64 elapsedMs, qint64 warmUpMs);
    void CheckMessages();
    void CheckEnd();
    void CheckBoxes();
    void CheckResident();
    void Problem(const QString& text);
    qint64 ProgramPeopleRepliesSince(qint64 ms) const;

    TSoakOptions Options;
    QTextStream& Out;
    QRandomGenerator Random;
    QTemporaryDir StateFolder; // the stand-in's world across its restarts
    TSimProcess Sim;
    TProgramRun Program;
    TMessageLedger Ledger;
    QMap<QString, int> Faults;
    QStringList Problems;
    qint64 QuietSince = 0;
    qint64 WarmResidentKb = 0;
    qint64 MaxResidentKb = 0;
    qint64 StartResidentKb = 0;
    qint64 ProgramCpuNs = 0;
    int ConfirmDelayMs = 0;
};
