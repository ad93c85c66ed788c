// The real program on a virtual X display under a real window manager (Openbox): what its title bar offers, the
// name it gives itself, and its tray icon in a tray that comes later. Skipped where Xvfb or Openbox is missing.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/prctl.h>
#include <xcb/xcb.h>

namespace {

constexpr int StartTimeout = 60000;

struct TFreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using TReply = std::unique_ptr<Reply, TFreeReply>;

} // namespace

class TestWindowManager : public QObject {
    Q_OBJECT

    QTemporaryDir Home;
    QProcess Server;
    QProcess WindowManager;
    QProcess Program;
    QProcess Tray;
    QByteArray Display;
    xcb_connection_t* Connection = nullptr;
    xcb_window_t Root = 0;
    xcb_window_t MainWindow = 0;

    xcb_atom_t Atom(const char* name) {
        const TReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            Connection, xcb_intern_atom(Connection, 0, uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    QByteArray Property(xcb_window_t window, const char* name, xcb_atom_t type) {
        const TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            Connection, xcb_get_property(Connection, 0, window, Atom(name), type, 0, 4096), nullptr));
        if (!reply || reply->type != type) {
            return {};
        }
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }
    QList<xcb_atom_t> Atoms(xcb_window_t window, const char* name, xcb_atom_t type) {
        const QByteArray bytes = Property(window, name, type);
        QList<xcb_atom_t> atoms(bytes.size() / qsizetype(sizeof(xcb_atom_t)));
        if (!atoms.isEmpty()) {
            std::memcpy(atoms.data(), bytes.constData(), size_t(atoms.size()) * sizeof(xcb_atom_t));
        }
        return atoms;
    }
    // The managed window with the title, once the window manager lists it and has said what it allows.
    xcb_window_t FindWindow(const char* title) {
        for (const xcb_atom_t window : Atoms(Root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW)) {
            if (Property(window, "_NET_WM_NAME", Atom("UTF8_STRING")) == title &&
                !Property(window, "_NET_WM_ALLOWED_ACTIONS", XCB_ATOM_ATOM).isEmpty()) {
                return window;
            }
        }
        return 0;
    }
    // The class part of the window's WM_CLASS (instance and class, each ended by a NUL).
    QByteArray WindowClass(xcb_window_t window) {
        return Property(window, "WM_CLASS", XCB_ATOM_STRING).split('\0').value(1);
    }
    // Whether a window of the program sits somewhere inside a window of the tray program, below this one.
    bool HoldsEmbeddedIcon(xcb_window_t window, bool insideTray) {
        const TReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(Connection, xcb_query_tree(Connection, window), nullptr));
        if (!tree) {
            return false;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int index = 0; index < xcb_query_tree_children_length(tree.get()); ++index) {
            const QByteArray windowClass = WindowClass(children[index]);
            if ((insideTray && windowClass == "Cvrlik") ||
                HoldsEmbeddedIcon(children[index], insideTray || windowClass == "trayer")) {
                return true;
            }
        }
        return false;
    }
    // Every process the test starts ends with the test, also when the test itself dies.
    static void EndsWithTheTest(QProcess& process) {
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    }
    QProcessEnvironment Environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(Display));
        environment.insert(QStringLiteral("HOME"), Home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Home.filePath(QStringLiteral("runtime")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // Under a sanitizer build: the system's D-Bus library, which the X platform loads, keeps a buffer to the end.
        environment.insert(QStringLiteral("LSAN_OPTIONS"),
                           QStringLiteral("suppressions=") + Home.filePath(QStringLiteral("lsan.supp")));
        return environment;
    }

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()) {
            QSKIP("needs Xvfb and openbox");
        }
        QVERIFY(Home.isValid());
        QVERIFY(QDir(Home.path()).mkpath(QStringLiteral("config")));
        QVERIFY(QDir(Home.path()).mkpath(QStringLiteral("runtime")));
        QFile::setPermissions(Home.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QFile suppressions(Home.filePath(QStringLiteral("lsan.supp")));
        QVERIFY(suppressions.open(QIODevice::WriteOnly));
        suppressions.write("leak:libdbus-1.so\n");
        suppressions.close();
        for (QProcess* process : {&Server, &WindowManager, &Program, &Tray}) {
            EndsWithTheTest(*process);
        }
        // The server picks a free display and names it on its output once it takes connections.
        Server.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                      QStringLiteral("800x600x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(Server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(Server.canReadLine() || Server.state() != QProcess::Running, StartTimeout);
        Display = ':' + Server.readLine().trimmed();
        QVERIFY2(Display.size() > 1, Display.constData());
        Connection = xcb_connect(Display.constData(), nullptr);
        QVERIFY(!xcb_connection_has_error(Connection));
        Root = xcb_setup_roots_iterator(xcb_get_setup(Connection)).data->root;

        WindowManager.setProcessEnvironment(Environment());
        WindowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY(WindowManager.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!Property(Root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW).isEmpty(), StartTimeout);

        // No tray on this display: the program shows its window at start.
        Program.setProcessEnvironment(Environment());
        Program.setWorkingDirectory(Home.path());
        Program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Program.start(QStringLiteral(CVRLIK_BINARY), {});
        QVERIFY(Program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT((MainWindow = FindWindow("chat")) != 0, StartTimeout);
    }

    void cleanupTestCase() {
        bool ended = true;
        if (Program.state() == QProcess::Running) {
            Program.terminate();
            ended = Program.waitForFinished(30000);
        }
        if (Connection) {
            xcb_disconnect(Connection);
        }
        for (QProcess* process : {&Tray, &WindowManager, &Server}) {
            if (process->state() == QProcess::Running) {
                process->terminate();
                process->waitForFinished(30000);
            }
        }
        QVERIFY(ended);
        QCOMPARE(Program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(Program.exitCode(), 0);
    }

    void titleBarOffersTheCloseBoxOnly_data() {
        QTest::addColumn<QByteArray>("action");
        QTest::addColumn<bool>("offered");
        QTest::newRow("close") << QByteArray("_NET_WM_ACTION_CLOSE") << true;
        QTest::newRow("moving") << QByteArray("_NET_WM_ACTION_MOVE") << true;
        QTest::newRow("resizing") << QByteArray("_NET_WM_ACTION_RESIZE") << true;
        QTest::newRow("no minimize: it would end the program") << QByteArray("_NET_WM_ACTION_MINIMIZE") << false;
        QTest::newRow("no maximize") << QByteArray("_NET_WM_ACTION_MAXIMIZE_HORZ") << false;
        QTest::newRow("no full screen") << QByteArray("_NET_WM_ACTION_FULLSCREEN") << false;
    }
    void titleBarOffersTheCloseBoxOnly() {
        QFETCH(QByteArray, action);
        QFETCH(bool, offered);
        const QList<xcb_atom_t> allowed = Atoms(MainWindow, "_NET_WM_ALLOWED_ACTIONS", XCB_ATOM_ATOM);
        QCOMPARE(allowed.contains(Atom(action.constData())), offered);
    }

    void windowClassIsTheApplicationName() {
        // WM_CLASS holds the instance name and the class name, each ended by a NUL.
        const QList<QByteArray> names = Property(MainWindow, "WM_CLASS", XCB_ATOM_STRING).split('\0');
        QVERIFY(names.size() >= 2);
        QCOMPARE(names.at(1), QByteArray("Cvrlik"));
    }

    // Openbox minimizes a dialog together with the window it belongs to, and the main window's minimizing ends the
    // program: a dialog's minimize button would end it as surely as the main window's.
    void dialogOffersNoMinimize() {
        const QString pointer = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (pointer.isEmpty()) {
            QSKIP("needs xdotool to press the window's button");
        }
        QProcess click;
        click.setProcessEnvironment(Environment());
        // The settings button, at its place in the window's design size.
        click.start(pointer,
                    {QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(MainWindow),
                     QStringLiteral("147"), QStringLiteral("358"), QStringLiteral("click"), QStringLiteral("1")});
        QVERIFY(click.waitForFinished(StartTimeout));
        xcb_window_t dialog = 0;
        QTRY_VERIFY_WITH_TIMEOUT((dialog = FindWindow("Nastaven\xC3\xAD")) != 0, StartTimeout);
        const QList<xcb_atom_t> allowed = Atoms(dialog, "_NET_WM_ALLOWED_ACTIONS", XCB_ATOM_ATOM);
        QVERIFY(allowed.contains(Atom("_NET_WM_ACTION_CLOSE")));
        QVERIFY(!allowed.contains(Atom("_NET_WM_ACTION_MINIMIZE")));
    }

    // Started before the panel, as at a login where the program wins the race: the icon goes into the tray that
    // appears later.
    void trayAppearingLaterGetsTheIcon() {
        const QString tray = QStandardPaths::findExecutable(QStringLiteral("trayer"));
        if (tray.isEmpty()) {
            QSKIP("needs trayer");
        }
        QVERIFY(!HoldsEmbeddedIcon(Root, false));
        Tray.setProcessEnvironment(Environment());
        Tray.start(tray, {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                          QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request")});
        QVERIFY(Tray.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(HoldsEmbeddedIcon(Root, false), StartTimeout);
    }
};

QTEST_GUILESS_MAIN(TestWindowManager)
#include "tst_windowmanager.moc"
