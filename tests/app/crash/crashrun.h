#pragma once

#include "messageledger.h"
#include "programrun.h"
#include "simprocess.h"

#include <QElapsedTimer>
#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

struct TCrashOptions {
    QString Program;    // cvrlik
    QString SimProgram; // klabos-sim
    QString StoreTool;  // cvrlik-store
    int Kills = 50;
    quint32 Seed = 1;
};

// Kills the program with SIGKILL at random moments while it stores messages, and the store tool while it imports,
// in turns, on one store. After each kill the store must open where it is (not moved aside as unreadable), hold every
// message the program confirmed to the stand-in (by asking for the one after it), and keep the watched-user list
// whole: every nick it must hold, and the tool's changes to it either all there or none. Prints what it saw.
class TCrashRun {
public:
    TCrashRun(TCrashOptions options, QTextStream& out);
    bool Run();

private:
    bool SetUp();
    bool KillProgram();
    bool KillTool();
    void QueueMessages();
    bool TakeRequests();
    bool WaitForRetrieval(int timeoutMs);
    void WriteImport(const QString& path) const;
    bool CheckStore();
    bool CheckToolChangeWhole(TSysReg& store);
    void Problem(const QString& text);

    TCrashOptions Options;
    QTextStream& Out;
    QRandomGenerator Random;
    TSimProcess Sim;
    TProgramRun Program;
    QTemporaryDir Work;
    TMessageLedger Ledger;
    QStringList Base; // the watched users the list starts with; none is ever removed
    QMap<QString, bool> BaseFlags;
    int ToolRound = 0;                 // the tool's changes of round R replace those of round R - 1, whole
    QMap<QString, int> LastWholeRound; // per key: the last round of the tool whose values are all in the store
    int ToolRunMs = 0;                 // how long an import takes when nobody kills it
    int MessagesQueued = 0;
    QStringList Problems;
    int ProgramKills = 0;
    int ToolKills = 0;
    int Survived = 0;
};
