// The real program on a virtual X display under a window manager, against the stand-in run as a process: the user
// starts a broadcast to fifty users, and the session ends (SIGTERM at logout) while a reply is held. Skipped where
// Xvfb, Openbox or xdotool is missing.
#include "programrun.h"
#include "simprocess.h"
#include "store/settings.h"
#include "store/sysreg.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

namespace {

// Starts and ends on a loaded machine (and under a sanitizer) may take long; no measure of speed.
constexpr int StartTimeout = 120000;
// The program must end well within this, while the stand-in holds the awaited reply ten times as long.
constexpr int EndCeiling = 30000;
constexpr int HeldReplyMs = 10 * EndCeiling;
constexpr int Recipients = 50;
const QString SendDialogTitle = QStringLiteral("Pošli zprávu do místnosti na Klabos");

// Every process the test starts ends with the test, also when the test itself dies.
void EndsWithTheTest(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

int CountOf(const QJsonArray& requests, const QString& action) {
    int count = 0;
    for (const QJsonValue& request : requests) {
        for (const QJsonValue& field : request.toObject().value(QStringLiteral("fields")).toArray()) {
            const QJsonArray pair = field.toArray();
            count += pair.at(0).toString() == u"akce" && pair.at(1).toString() == action ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class TestQuitting : public QObject {
    Q_OBJECT

    QProcess Server;
    QProcess WindowManager;
    QString Display;

    // An xdotool command on the display; its output, trimmed.
    QString Tool(const QStringList& arguments) {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), Display);
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral("xdotool"), arguments);
        tool.waitForFinished(StartTimeout);
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }
    // The first window whose title is the text; empty while there is none.
    QString WindowTitled(const QString& title) {
        return Tool({QStringLiteral("search"), QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')})
            .section(QLatin1Char('\n'), 0, 0);
    }
    void Click(const QString& window, int x, int y, int times = 1) {
        Tool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x), QString::number(y),
              QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(times), QStringLiteral("--delay"),
              QStringLiteral("80"), QStringLiteral("1")});
    }

private Q_SLOTS:
    void initTestCase() {
        for (const char* needed : {"Xvfb", "openbox", "xdotool"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(needed)).isEmpty()) {
                QSKIP("needs Xvfb, openbox and xdotool");
            }
        }
        EndsWithTheTest(Server);
        EndsWithTheTest(WindowManager);
        // The server picks a free display and names it on its output once it takes connections.
        Server.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                      QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(Server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(Server.canReadLine() || Server.state() != QProcess::Running, StartTimeout);
        Display = QLatin1Char(':') + QString::fromLatin1(Server.readLine().trimmed());
        QVERIFY2(Display.size() > 1, qPrintable(Display));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), Display);
        WindowManager.setProcessEnvironment(environment);
        WindowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY(WindowManager.waitForStarted());
    }

    void cleanupTestCase() {
        WindowManager.terminate();
        Server.terminate();
        WindowManager.waitForFinished(30000);
        Server.waitForFinished(30000);
    }

    void terminationDuringABroadcastEndsItAtOnce() {
        TSimProcess sim(QStringLiteral(KLABOS_SIM_PROGRAM), 3, QString());
        QVERIFY(sim.Start());
        sim.Control(QStringLiteral("lively"), ControlQuery({{u"on"_qs, u"0"_qs}}));
        const QJsonArray crowd =
            sim.Control(QStringLiteral("crowd"), ControlQuery({{u"count"_qs, QString::number(Recipients)}}))
                .value(QStringLiteral("nicks"))
                .toArray();
        QCOMPARE(crowd.size(), Recipients);
        TRunSettings settings;
        settings.LoginName = QStringLiteral("Kormoran");
        settings.LoginPassword = QStringLiteral("heslo");
        settings.ProxyPort = sim.Port();
        settings.SessionRefresh = 500;
        settings.TimeDivisor = 1; // a test run at the normal pace: the program records what it does
        for (const QJsonValue& nick : crowd) {
            settings.Watched.append(nick.toString());
            sim.Control(QStringLiteral("online"),
                        ControlQuery({{u"nick"_qs, nick.toString()}, {u"room"_qs, u"12"_qs}}));
        }
        TProgramRun program(QStringLiteral(CVRLIK_BINARY));
        QVERIFY(program.IsValid());
        program.Prepare(settings);
        {
            // A double click on a user opens the send dialog.
            TSysReg store(program.StoreFolder());
            store.OpenKey(ProductKey, true);
            store.WriteBool(QStringLiteral("EasyMouseMode"), false);
            store.CloseKey();
        }
        QVERIFY(program.Start(QStringLiteral("xcb"), Display));
        // Logged in, with the list painted from the reply.
        const auto listShown = [&program] {
            bool replied = false;
            for (const TRecordLine& line : program.Record()) {
                replied = replied || line.Event == u"people-reply";
                if (replied && line.Event == u"list-painted") {
                    return true;
                }
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(listShown(), StartTimeout);
        QString mainWindow;
        QTRY_VERIFY_WITH_TIMEOUT(!(mainWindow = WindowTitled(QStringLiteral("chat"))).isEmpty(), StartTimeout);

        // The first user of the list (a click the window manager has not yet passed on is made again), a message for
        // everybody, each reply held far beyond the test's patience.
        QString dialog;
        for (int attempt = 0; attempt < 10 && dialog.isEmpty(); ++attempt) {
            Click(mainWindow, 60, 51, 2);
            [[maybe_unused]] const bool opened =
                QTest::qWaitFor([&] { return !(dialog = WindowTitled(SendDialogTitle)).isEmpty(); }, StartTimeout / 10);
        }
        QVERIFY(!dialog.isEmpty());
        Click(dialog, 200, 80);
        Tool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), QStringLiteral("Ahoj vsem")});
        Tool({QStringLiteral("key"), QStringLiteral("F11")});
        // The broadcast controls below, once the window has grown to show them.
        QTRY_VERIFY_WITH_TIMEOUT(Tool({QStringLiteral("getwindowgeometry"), dialog}).contains(QStringLiteral("x387")),
                                 StartTimeout);
        Click(dialog, 14, 203); // "Poslat všem"
        sim.Control(QStringLiteral("delay"), ControlQuery({{u"ms"_qs, QString::number(HeldReplyMs)}}));
        Tool({QStringLiteral("key"), QStringLiteral("alt+o")});
        QTRY_VERIFY_WITH_TIMEOUT(
            CountOf(sim.Control(QStringLiteral("requests")).value(QStringLiteral("requests")).toArray(),
                    QStringLiteral("vzkaz")) > 0,
            StartTimeout);

        program.Signal(SIGTERM);
        QVERIFY(program.WaitForEnd(EndCeiling));
        QCOMPARE(program.ExitStatus(), QProcess::NormalExit);
        QCOMPARE(program.ExitCode(), 0);
        // Nothing went out after the signal; the log's last line is whole; the window's geometry is stored.
        QCOMPARE(CountOf(sim.Control(QStringLiteral("requests")).value(QStringLiteral("requests")).toArray(),
                         QStringLiteral("vzkaz")),
                 1);
        QFile log(program.DataFolder() + QStringLiteral("/cvadvert.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray bytes = log.readAll();
        QVERIFY2(bytes.endsWith("\r\n") && bytes.contains("Text: Ahoj vsem"), bytes.constData());
        TSysReg store(program.StoreFolder());
        QVERIFY(store.OpenKey(ProductKey, false));
        QVERIFY(store.ValueExists(QStringLiteral("WindowWidth")));
        store.CloseKey();
    }
};

QTEST_GUILESS_MAIN(TestQuitting)
#include "tst_quitting.moc"
