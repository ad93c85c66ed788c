// cvrlik-soak [--seconds N] [--divisor N] [--crowd N] [--watched N] [--mail-ms N] [--seed N] [--bound-kb N]
//
// Runs the real program (offscreen) against klabos-sim with a busy world and faults, and prints what it saw. Exit
// status 0 when every check held, 1 when one failed, 2 for wrong use.
#include "soakrun.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

int Number(const QCommandLineParser& parser, const QCommandLineOption& option, bool& valid) {
    bool converted = false;
    const int value = parser.value(option).toInt(&converted);
    valid = valid && converted && value > 0;
    return value;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption seconds(u"seconds"_qs, u"How long the soak runs."_qs, u"N"_qs, u"60"_qs);
    const QCommandLineOption divisor(u"divisor"_qs, u"How many times faster the program's clocks run."_qs, u"N"_qs,
                                     u"20"_qs);
    const QCommandLineOption crowd(u"crowd"_qs, u"Simulated users beside the default world's."_qs, u"N"_qs, u"300"_qs);
    const QCommandLineOption watched(u"watched"_qs, u"Watched users."_qs, u"N"_qs, u"200"_qs);
    const QCommandLineOption mail(u"mail-ms"_qs, u"A message for the user every N ms."_qs, u"N"_qs, u"2000"_qs);
    const QCommandLineOption seed(u"seed"_qs, u"Seed of the world and of the faults."_qs, u"N"_qs, u"1"_qs);
    const QCommandLineOption bound(u"bound-kb"_qs, u"How much resident memory may grow after the warm-up."_qs, u"N"_qs,
                                   u"6144"_qs);
    parser.addOptions({seconds, divisor, crowd, watched, mail, seed, bound});
    parser.process(application);

    TSoakOptions options;
    bool valid = true;
    options.Program = QStringLiteral(CVRLIK_BINARY);
    options.SimProgram = QStringLiteral(KLABOS_SIM_PROGRAM);
    options.Seconds = Number(parser, seconds, valid);
    options.TimeDivisor = Number(parser, divisor, valid);
    options.Crowd = Number(parser, crowd, valid);
    options.Watched = Number(parser, watched, valid);
    options.MailMs = Number(parser, mail, valid);
    options.Seed = quint32(Number(parser, seed, valid));
    options.ResidentBoundKb = Number(parser, bound, valid);
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer keeps freed memory in quarantine: resident memory says nothing of leaks there.
    options.CheckResident = false;
#endif
    if (!valid || options.TimeDivisor > 1000) {
        QTextStream(stderr) << "cvrlik-soak: every option takes a whole number above 0 (--divisor at most 1000)\n";
        return 2;
    }
    QTextStream out(stdout);
    return TSoakRun(options, out).Run() ? 0 : 1;
}
