// cvrlik-crash [--kills N] [--seed N]
//
// Kills the program and the store tool at random moments and checks the store after each kill; prints how many
// kills it survived. Exit status 0 when all were survived, 1 otherwise, 2 for wrong use.
#include "crashrun.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption kills(u"kills"_qs, u"How many kills."_qs, u"N"_qs, u"50"_qs);
    const QCommandLineOption seed(u"seed"_qs, u"Seed of the moments and of the world."_qs, u"N"_qs, u"1"_qs);
    parser.addOptions({kills, seed});
    parser.process(application);

    TCrashOptions options;
    bool validKills = false;
    bool validSeed = false;
    options.Kills = parser.value(kills).toInt(&validKills);
    options.Seed = parser.value(seed).toUInt(&validSeed);
    if (!validKills || !validSeed || options.Kills < 1) {
        QTextStream(stderr) << "cvrlik-crash: --kills takes a number above 0, --seed a whole number\n";
        return 2;
    }
    options.Program = QStringLiteral(CVRLIK_BINARY);
    options.SimProgram = QStringLiteral(KLABOS_SIM_PROGRAM);
    options.StoreTool = QStringLiteral(CVRLIK_STORE_PROGRAM);
    QTextStream out(stdout);
    return TCrashRun(options, out).Run() ? 0 : 1;
}
