// klabos-sim [--port N] [--seed N] [--proxy-auth USER:PASSWORD] [--state FILE]
//
// The stand-in for the Klabos service on 127.0.0.1, with a lively simulated world. With --port 0 (the default) it
// picks a free port; the first line of standard output is always "port N". With --state the world is read from the
// file at start (when it exists) and written back at a clean end, so a restart keeps messages and their ids; the
// requests recorded and not yet taken over the control interface go to FILE.requests then, so that a test that
// restarts the stand-in loses none of them.
#include "server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>
#include <QTimer>
#include <csignal>

namespace {

// One simulated minute passes every ten seconds: idle times grow, users come and go.
constexpr int MsPerTick = 10000;

volatile std::sig_atomic_t StopRequested = 0;

void RequestStop(int) {
    StopRequested = 1;
}

int Fail(const QString& text) {
    QTextStream(stderr) << "klabos-sim: " << text << '\n';
    return 2;
}

bool LoadState(KlabosSim::World& world, const QString& path, QString& error) {
    QFile file(path);
    if (!file.exists()) {
        return true; // the first run: the world starts from its seed
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject() || !world.RestoreState(document.object())) {
        error = QStringLiteral("not a state this program wrote");
        return false;
    }
    return true;
}

bool SaveState(const KlabosSim::World& world, const QString& path) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(QJsonDocument(world.State()).toJson(QJsonDocument::Compact)) >= 0 && file.commit();
}

bool SaveRequests(const KlabosSim::Server& server, const QString& path) {
    QJsonArray requests;
    for (const KlabosSim::RecordedRequest& request : server.Requests()) {
        requests.append(request.ToJson());
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(requests).toJson(QJsonDocument::Compact)) >= 0 &&
           file.commit();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("klabos-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in for the Klabos chat service, for the demo and tests."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1 (0: any free one)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Seed of the simulated world."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption proxyAuthOption(QStringLiteral("proxy-auth"),
                                             QStringLiteral("Require these Basic credentials from proxy clients."),
                                             QStringLiteral("USER:PASSWORD"));
    parser.addOption(portOption);
    parser.addOption(seedOption);
    const QCommandLineOption stateOption(QStringLiteral("state"),
                                         QStringLiteral("Read the world from FILE at start, write it back at the end."),
                                         QStringLiteral("FILE"));
    parser.addOption(proxyAuthOption);
    parser.addOption(stateOption);
    parser.process(application);
    if (!parser.positionalArguments().isEmpty()) {
        return Fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    }

    bool valid = false;
    const uint port = parser.value(portOption).toUInt(&valid);
    if (!valid || port > 65535) {
        return Fail(QStringLiteral("--port takes a number from 0 to 65535"));
    }
    const uint seed = parser.value(seedOption).toUInt(&valid);
    if (!valid) {
        return Fail(QStringLiteral("--seed takes a number from 0 to 4294967295"));
    }

    KlabosSim::Server server(seed);
    if (parser.isSet(proxyAuthOption)) {
        const QString credentials = parser.value(proxyAuthOption);
        const qsizetype colon = credentials.indexOf(u':');
        if (colon <= 0) {
            return Fail(QStringLiteral("--proxy-auth takes USER:PASSWORD"));
        }
        server.SetProxyAuth(credentials.left(colon), credentials.mid(colon + 1));
    }
    const QString statePath = parser.value(stateOption);
    QString stateError;
    if (!statePath.isEmpty() && !LoadState(server.TheWorld(), statePath, stateError)) {
        return Fail(QStringLiteral("cannot read the state \"%1\": %2").arg(statePath, stateError));
    }
    if (!server.Listen(quint16(port))) {
        return Fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(server.ErrorString()));
    }
    server.TheWorld().SetFollowWallClock(true);
    server.StartClock(MsPerTick);

    QTextStream out(stdout);
    out << "port " << server.Port() << Qt::endl;
    QTextStream(stderr) << "klabos-sim: listening on 127.0.0.1:" << server.Port() << ", seed " << seed
                        << "; account demo/demo; control under http://127.0.0.1:" << server.Port() << "/control/\n";

    // A signal handler may only set a flag; the event loop looks at it.
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &application, [] {
        if (StopRequested) {
            QCoreApplication::quit();
        }
    });
    stopWatch.start(100);
    const int exitCode = QCoreApplication::exec();
    if (!statePath.isEmpty() &&
        (!SaveState(server.TheWorld(), statePath) || !SaveRequests(server, statePath + QStringLiteral(".requests")))) {
        return Fail(QStringLiteral("cannot write the state \"%1\"").arg(statePath));
    }
    return exitCode;
}
