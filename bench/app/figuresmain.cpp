// cvrlik-figures [--platform offscreen|xcb] [--display :N] [--idle-seconds N] [--squeeze N] [--hour-seconds N]
//
// Prints the whole program's figures (bench/figures.sh runs it offscreen and under Xvfb with a window manager).
#include "figuresrun.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption platform(u"platform"_qs, u"offscreen or xcb."_qs, u"NAME"_qs, u"offscreen"_qs);
    const QCommandLineOption display(u"display"_qs, u"The X display for xcb."_qs, u"DISPLAY"_qs);
    const QCommandLineOption idle(u"idle-seconds"_qs, u"How long idleness is measured."_qs, u"N"_qs, u"120"_qs);
    const QCommandLineOption squeeze(u"squeeze"_qs, u"How many times faster the squeezed hour runs."_qs, u"N"_qs,
                                     u"60"_qs);
    const QCommandLineOption hour(u"hour-seconds"_qs, u"How long the squeezed run lasts."_qs, u"N"_qs, u"60"_qs);
    parser.addOptions({platform, display, idle, squeeze, hour});
    parser.process(application);

    TFiguresOptions options;
    options.Program = QStringLiteral(CVRLIK_BINARY);
    options.SimProgram = QStringLiteral(KLABOS_SIM_PROGRAM);
    options.Platform = parser.value(platform);
    options.Display = parser.value(display);
    bool valid[3] = {};
    options.IdleSeconds = parser.value(idle).toInt(&valid[0]);
    options.Squeeze = parser.value(squeeze).toInt(&valid[1]);
    options.HourSeconds = parser.value(hour).toInt(&valid[2]);
    if (!valid[0] || !valid[1] || !valid[2] || options.IdleSeconds < 1 || options.Squeeze < 1 ||
        options.Squeeze > 1000 || options.HourSeconds < 1) {
        QTextStream(stderr) << "cvrlik-figures: the numbers must be whole and above 0 (--squeeze at most 1000)\n";
        return 2;
    }
    QTextStream out(stdout);
    return TFiguresRun(options, out).Run() ? 0 : 1;
}
