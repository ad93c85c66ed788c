#include "regfile.h"
#include "store/encrypt.h"
#include "store/sysreg.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

#include <sys/stat.h>

namespace {

const QString Key = QStringLiteral("SOFTWARE\\Velmor\\Cvrlik");

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

} // namespace

class TestStoreTool : public QObject {
    Q_OBJECT

    QTemporaryDir Home;

    // The output goes to the file when one is named.
    TRun Tool(const QStringList& arguments, const QByteArray& input = {}, const QString& output = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.path());
        process.setProcessEnvironment(environment);
        if (!output.isEmpty()) {
            process.setStandardOutputFile(output);
        }
        process.start(QStringLiteral(CVRLIK_STORE_BINARY), arguments);
        process.write(input);
        process.closeWriteChannel();
        // Generous for a sanitizer build on a busy machine; a run that never ends fails the test, not the timing.
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return {-1, {}, QStringLiteral("cvrlik-store did not end")};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    static QString StoreFolder(const QString& home) { return home + QStringLiteral("/Velmor/Cvrlik"); }

private Q_SLOTS:
    void init() { QDir(StoreFolder(Home.path())).removeRecursively(); }

    void exportThenImportLosesNothing() {
        const QStringList texts = {QStringLiteral("plain"),          QStringLiteral("quote \" and \\ backslash"),
                                   QStringLiteral("line\r\nbreaks"), QString::fromUtf8("nul\0inside", 10),
                                   QStringLiteral("Žlutý kůň ☺"),    QString()};
        {
            TSysReg store(StoreFolder(Home.path()));
            QVERIFY(store.OpenKey(Key + QStringLiteral("\\Nick Comments"), true));
            for (int i = 0; i < texts.size(); ++i) {
                store.WriteString(QStringLiteral("nick \"%1\" \\").arg(i), texts.at(i));
            }
            store.WriteInteger(QStringLiteral("negative"), -2);
            store.WriteInteger(QStringLiteral("large"), qint32(0x80000000u));
            store.CloseKey();
        }
        const TRun exported = Tool({QStringLiteral("export")});
        QCOMPARE(exported.ExitCode, 0);
        QVERIFY(exported.Out.contains(QStringLiteral("\"negative\"=dword:fffffffe")));
        QVERIFY(exported.Out.contains(QStringLiteral("[SOFTWARE\\Velmor\\Cvrlik\\Nick Comments]")));

        QDir(StoreFolder(Home.path())).removeRecursively();
        QCOMPARE(Tool({QStringLiteral("import"), QStringLiteral("-")}, exported.Out.toUtf8()).ExitCode, 0);

        TSysReg store(StoreFolder(Home.path()));
        QVERIFY(store.OpenKey(Key + QStringLiteral("\\Nick Comments"), false));
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(store.ReadString(QStringLiteral("nick \"%1\" \\").arg(i)), texts.at(i));
        }
        QCOMPARE(store.ReadInteger(QStringLiteral("negative")), -2);
        QCOMPARE(store.ReadInteger(QStringLiteral("large")), qint32(0x80000000u));
        store.CloseKey();
        QCOMPARE(Tool({QStringLiteral("export")}).Out, exported.Out);
    }

    void keyNamedLikeARemovalOrTheRootSurvivesExportAndImport_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("name starting with a dash, beside the key it names") << QStringLiteral("-Nick List");
        QTest::newRow("name starting with the root's name") << QStringLiteral("HKEY_CURRENT_USER\\Nick List");
    }
    void keyNamedLikeARemovalOrTheRootSurvivesExportAndImport() {
        QFETCH(QString, path);
        {
            TSysReg store(StoreFolder(Home.path()));
            for (const QString& key : {path, QStringLiteral("Nick List")}) {
                QVERIFY(store.OpenKey(key, true));
                store.WriteString(QStringLiteral("v"), key);
                store.CloseKey();
            }
        }
        const QString keys = Tool({QStringLiteral("keys")}).Out;
        QVERIFY(keys.contains(path + QLatin1Char('\n')));
        const TRun exported = Tool({QStringLiteral("export")});
        QCOMPARE(exported.ExitCode, 0);
        QDir(StoreFolder(Home.path())).removeRecursively();
        QCOMPARE(Tool({QStringLiteral("import"), QStringLiteral("-")}, exported.Out.toUtf8()).ExitCode, 0);
        QCOMPARE(Tool({QStringLiteral("keys")}).Out, keys);
        QCOMPARE(Tool({QStringLiteral("export")}).Out, exported.Out);
    }

    void commands_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        const QString key = Key;
        QTest::newRow("get a string") << QStringList{"get", key, "loginname"} << 0 << "demo\n";
        QTest::newRow("get an integer") << QStringList{"get", key, "ProxyPort"} << 0 << "3128\n";
        QTest::newRow("get a missing value") << QStringList{"get", key, "Nothing"} << 1 << "";
        QTest::newRow("get from a missing key") << QStringList{"get", key + "\\None", "x"} << 1 << "";
        QTest::newRow("list") << QStringList{"list", key} << 0 << "LoginName\tstring\tdemo\nProxyPort\tinteger\t3128\n";
        QTest::newRow("keys") << QStringList{"keys"} << 0 << "SOFTWARE\nSOFTWARE\\Velmor\nSOFTWARE\\Velmor\\Cvrlik\n";
        QTest::newRow("delete a value") << QStringList{"delete", key, "LoginName"} << 0 << "";
        QTest::newRow("delete a missing value") << QStringList{"delete", key, "Nothing"} << 1 << "";
        QTest::newRow("no command") << QStringList{} << 2 << "";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "";
        QTest::newRow("set without a type") << QStringList{"set", key, "x", "1"} << 2 << "";
        QTest::newRow("set a non-number") << QStringList{"set", key, "x", "--int", "12ab"} << 2 << "";
        QTest::newRow("set too large a number") << QStringList{"set", key, "x", "--int", "4294967296"} << 2 << "";
        QTest::newRow("get with too many arguments") << QStringList{"get", key, "a", "b"} << 2 << "";
        QTest::newRow("import a missing file") << QStringList{"import", "/nonexistent/file.txt"} << 1 << "";
    }
    void commands() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QCOMPARE(Tool({"set", Key, "LoginName", "--string", "demo"}).ExitCode, 0);
        QCOMPARE(Tool({"set", Key, "ProxyPort", "--int", "3128"}).ExitCode, 0);
        const TRun run = Tool(arguments);
        QCOMPARE(run.ExitCode, exitCode);
        QCOMPARE(run.Out, output);
        QCOMPARE(run.Err.isEmpty(), exitCode == 0);
    }

    void malformedImportChangesNothing_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("stray text") << QStringLiteral("just some words\n");
        QTest::newRow("unterminated string") << QStringLiteral("[K]\n\"a\"=\"b\n");
        QTest::newRow("bad dword") << QStringLiteral("[K]\n\"a\"=dword:xyz\n");
        QTest::newRow("odd hex") << QStringLiteral("[K]\n\"a\"=hex(1):41,00,00\n");
        QTest::newRow("unknown escape") << QStringLiteral("[K]\n\"a\\q\"=\"b\"\n");
        QTest::newRow("a key path with an empty name, after a good key")
            << QStringLiteral("[K]\n\"a\"=\"b\"\n[K\\\\L]\n\"c\"=\"d\"\n");
    }
    void malformedImportChangesNothing() {
        QFETCH(QString, text);
        const QString good = QStringLiteral("[SOFTWARE\\Velmor\\Cvrlik]\n\"Before\"=dword:00000001\n");
        const TRegFile parsed = ParseRegFile(good + text);
        QVERIFY(!parsed.Error.isEmpty());
        QVERIFY(parsed.Keys.isEmpty());
        const TRun run = Tool({QStringLiteral("import"), QStringLiteral("-")}, (good + text).toUtf8());
        QCOMPARE(run.ExitCode, 1);
        QVERIFY(run.Err.contains(QStringLiteral("řádek ")));
        QCOMPARE(Tool({QStringLiteral("get"), Key, QStringLiteral("Before")}).ExitCode, 1);
    }

    // The store refuses a write in the file's second key: the first key's values are not kept either.
    void importRefusedByTheStoreChangesNothing() {
        QCOMPARE(Tool({"set", Key, "Before", "--int", "1"}).ExitCode, 0);
        sqlite3* db = nullptr;
        const QString path = StoreFolder(Home.path()) + QStringLiteral("/registry.db");
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db,
                              "CREATE TRIGGER refuse BEFORE INSERT ON entries WHEN NEW.name = 'refused' "
                              "BEGIN SELECT RAISE(ABORT, 'no'); END",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        const QString text =
            QStringLiteral("[%1]\n\"First\"=dword:00000002\n\"Before\"=-\n[K]\n\"refused\"=\"x\"\n").arg(Key);
        const TRun run = Tool({QStringLiteral("import"), QStringLiteral("-")}, text.toUtf8());
        QCOMPARE(run.ExitCode, 1);
        QVERIFY2(run.Err.contains(QStringLiteral("Nic nebylo importováno")), qPrintable(run.Err));
        QCOMPARE(Tool({QStringLiteral("list"), Key}).Out, QStringLiteral("Before\tinteger\t1\n"));
    }

    void importUnderstandsRemovalsAndContinuedHex() {
        const QString text = QStringLiteral("[HKEY_CURRENT_USER\\K\\Sub]\n\"v\"=\"1\"\n[K]\n\"gone\"=dword:1\n"
                                            "\"gone\"=-\n\"h\"=hex(1):41,00,\\\n  42,00,00,00\n[-K\\Sub]\n");
        QCOMPARE(Tool({QStringLiteral("import"), QStringLiteral("-")}, text.toUtf8()).ExitCode, 0);
        QCOMPARE(Tool({QStringLiteral("list"), QStringLiteral("K")}).Out, QStringLiteral("h\tstring\tAB\n"));
        QCOMPARE(Tool({QStringLiteral("keys")}).Out, QStringLiteral("K\n"));
    }

    void helpPrintsTheUsage() {
        const TRun run = Tool({QStringLiteral("--help")});
        QCOMPARE(run.ExitCode, 0);
        QVERIFY(run.Err.isEmpty());
        QVERIFY(run.Out.contains(QStringLiteral("cvrlik-store export [SOUBOR]")));
        QVERIFY(run.Out.endsWith(QLatin1Char('\n')));
    }

    void outputThatCannotBeWrittenFails_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("export") << QStringList{"export"};
        QTest::newRow("a value") << QStringList{"get", Key, "LoginName"};
        QTest::newRow("the usage") << QStringList{"--help"};
    }
    void outputThatCannotBeWrittenFails() {
        QFETCH(QStringList, arguments);
        if (!QFile::exists(QStringLiteral("/dev/full"))) {
            QSKIP("no /dev/full here");
        }
        QCOMPARE(Tool({"set", Key, "LoginName", "--string", "demo"}).ExitCode, 0);
        const TRun run = Tool(arguments, {}, QStringLiteral("/dev/full"));
        QCOMPARE(run.ExitCode, 1);
        QVERIFY2(run.Err.contains(QStringLiteral("výstup nelze zapsat")), qPrintable(run.Err));
    }

    void exportIsPrivate_data() {
        QTest::addColumn<bool>("existed");
        QTest::newRow("a new file") << false;
        QTest::newRow("a file others could read") << true;
    }
    void exportIsPrivate() {
        QFETCH(bool, existed);
        QCOMPARE(Tool({"set", Key, "LoginPassword", "--string", "fhqk"}).ExitCode, 0);
        const QString path = Home.filePath(QStringLiteral("backup.txt"));
        QFile::remove(path);
        if (existed) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        }
        QCOMPARE(Tool({QStringLiteral("export"), path}).ExitCode, 0);
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
        QCOMPARE(int(status.st_mode & 0777), 0600);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("\"LoginPassword\"=\"fhqk\""));
    }

    void passwordIsStoredScrambled_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("input"); // the password on the standard input, not on the command line
        QTest::newRow("plain letters") << QStringLiteral("demo") << QByteArray();
        QTest::newRow("Czech letters") << QStringLiteral("žluťoučký kůň") << QByteArray();
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("from the standard input, its first line")
            << QStringLiteral("žluťoučký kůň") << QByteArray("žluťoučký kůň\r\ndruhý řádek\n");
    }
    void passwordIsStoredScrambled() {
        QFETCH(QString, password);
        QFETCH(QByteArray, input);
        const QStringList arguments = input.isEmpty() ? QStringList{"set", Key, "LoginPassword", "--password", password}
                                                      : QStringList{"set", Key, "LoginPassword", "--password-stdin"};
        QCOMPARE(Tool(arguments, input).ExitCode, 0);
        TSysReg store(StoreFolder(Home.path()));
        QVERIFY(store.OpenKey(Key, false));
        const QString stored = store.ReadString(QStringLiteral("LoginPassword"));
        store.CloseKey();
        QCOMPARE(stored, ScrambleText(password));
        QCOMPARE(UnscrambleText(stored), password);
    }

    void busyStoreIsReportedAndKept() {
        QCOMPARE(Tool({"set", Key, "LoginName", "--string", "demo"}).ExitCode, 0);
        const QString path = StoreFolder(Home.path()) + QStringLiteral("/registry.db");
        sqlite3* holder = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        const TRun run = Tool({"get", Key, "LoginName"});
        sqlite3_close(holder);
        QCOMPARE(run.ExitCode, 1);
        QVERIFY2(run.Err.contains(QStringLiteral("zamčený")), qPrintable(run.Err));
        QCOMPARE(QDir(StoreFolder(Home.path())).entryList({QStringLiteral("*unreadable*")}, QDir::AllEntries),
                 QStringList());
        QCOMPARE(Tool({"get", Key, "LoginName"}).Out, QStringLiteral("demo\n"));
    }
};

QTEST_GUILESS_MAIN(TestStoreTool)
#include "tst_storetool.moc"
