#include "store/settings.h"
#include "store/sysreg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Key = QStringLiteral("SOFTWARE\\Velmor\\Cvrlik");

QStringList Names(TSysReg& store, const QString& key) {
    store.OpenKey(key, true);
    const QStringList names = store.GetValueNames();
    store.CloseKey();
    return names;
}

// Runs SQL on the store's file through a connection of its own, as another process would.
void RunSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// A watched-user list saved anew as SaveNickList does: the stored nicks deleted, the new ones written.
void SaveList(TSysReg& store, const QString& key, const QStringList& nicks) {
    store.CloseKey();
    if (!store.OpenKey(key, false)) {
        store.OpenKey(key, true);
    }
    for (const QString& name : store.GetValueNames()) {
        store.DeleteValue(name);
    }
    for (const QString& nick : nicks) {
        store.WriteBool(nick, true);
    }
    store.CloseKey();
}

enum TFailingUse { WriteWithoutKey, DeleteWithoutKey, MissingNumber, NumberAsText };

void Use(TSysReg& store, TFailingUse use) {
    switch (use) {
    case WriteWithoutKey:
        store.WriteString(QStringLiteral("LoginName"), QStringLiteral("demo"));
        break;
    case DeleteWithoutKey:
        store.DeleteValue(QStringLiteral("LoginName"));
        break;
    case MissingNumber:
        store.ReadInteger(QStringLiteral("LoginName"));
        break;
    case NumberAsText:
        store.ReadString(QStringLiteral("LoginName"));
        break;
    }
}

} // namespace

class TestSysReg : public QObject {
    Q_OBJECT

    QTemporaryDir Folder;
    std::unique_ptr<TSysReg> Store;

private Q_SLOTS:
    void init() {
        QVERIFY(Folder.isValid());
        Store = std::make_unique<TSysReg>(Folder.path() + QStringLiteral("/Velmor/Cvrlik"));
    }
    void cleanup() {
        Store.reset();
        QDir(Folder.path()).removeRecursively();
    }

    void valuesKeepTheirTypes() {
        QVERIFY(Store->OpenKey(Key, true));
        Store->WriteString(QStringLiteral("Text"), QString::fromUtf8("Žlutý\0kůň", 13));
        Store->WriteInteger(QStringLiteral("Number"), -7);
        Store->WriteBool(QStringLiteral("Flag"), true);
        Store->CloseKey();

        QVERIFY(Store->OpenKey(Key, false));
        QCOMPARE(Store->ReadString(QStringLiteral("Text")), QString::fromUtf8("Žlutý\0kůň", 13));
        QCOMPARE(Store->ReadInteger(QStringLiteral("Number")), -7);
        QCOMPARE(Store->ReadBool(QStringLiteral("Flag")), true);
        QCOMPARE(Store->ReadString(QStringLiteral("Missing")), QString());
        QVERIFY_THROWS_EXCEPTION(ESysRegError, Store->ReadInteger(QStringLiteral("Missing")));
        QVERIFY_THROWS_EXCEPTION(ESysRegError, Store->ReadInteger(QStringLiteral("Text")));
        QVERIFY_THROWS_EXCEPTION(ESysRegError, Store->ReadString(QStringLiteral("Number")));
        QVERIFY_THROWS_EXCEPTION(ESysRegError, Store->ReadBool(QStringLiteral("Text")));
        Store->CloseKey();
    }

    void namesIgnoreCaseAndKeepFirstSpelling() {
        QVERIFY(Store->OpenKey(QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Nick List"), true));
        Store->WriteBool(QStringLiteral("Alice"), true);
        Store->WriteBool(QStringLiteral("ALICE"), false);
        Store->CloseKey();

        QVERIFY(Store->OpenKey(QStringLiteral("software\\velmor\\cvrlik\\NICK LIST"), false));
        QCOMPARE(Store->GetValueNames(), QStringList{QStringLiteral("Alice")});
        QCOMPARE(Store->ReadBool(QStringLiteral("alice")), false);
        Store->CloseKey();
        QVERIFY(Store->GetKeyPaths().contains(QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Nick List")));
        QVERIFY(!Store->GetKeyPaths().contains(QStringLiteral("software\\velmor\\cvrlik\\NICK LIST")));
    }

    void valuesEnumerateInCreationOrder() {
        QVERIFY(Store->OpenKey(Key, true));
        for (const char* name : {"zeta", "Alpha", "mid", "beta"}) {
            Store->WriteInteger(QString::fromLatin1(name), 1);
        }
        Store->WriteInteger(QStringLiteral("ALPHA"), 2); // replacing keeps the place
        Store->DeleteValue(QStringLiteral("mid"));
        Store->WriteInteger(QStringLiteral("mid"), 3); // re-created goes last
        Store->CloseKey();
        QCOMPARE(Names(*Store, Key), (QStringList{"zeta", "Alpha", "beta", "mid"}));
    }

    void reopenedStoreReadsWhatWasWritten() {
        QVERIFY(Store->OpenKey(Key, true));
        Store->WriteString(QStringLiteral("LoginName"), QStringLiteral("kůň"));
        Store->CloseKey();
        Store = std::make_unique<TSysReg>(Folder.path() + QStringLiteral("/Velmor/Cvrlik"));
        QVERIFY(Store->OpenKey(Key, false));
        QCOMPARE(Store->ReadString(QStringLiteral("LoginName")), QStringLiteral("kůň"));
        Store->CloseKey();
    }

    void unclosedSequenceIsLostWhole() {
        // A process that dies between open and close leaves nothing of its sequence behind.
        QVERIFY(Store->OpenKey(Key, true));
        Store->WriteInteger(QStringLiteral("Kept"), 1);
        Store->CloseKey();
        const pid_t child = fork();
        if (child == 0) {
            TSysReg store(Folder.path() + QStringLiteral("/Velmor/Cvrlik"));
            store.OpenKey(Key, true);
            store.WriteInteger(QStringLiteral("Half"), 1);
            store.WriteInteger(QStringLiteral("Kept"), 2);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(Store->OpenKey(Key, false));
        QVERIFY(!Store->ValueExists(QStringLiteral("Half")));
        QCOMPARE(Store->ReadInteger(QStringLiteral("Kept")), 1);
        Store->CloseKey();
    }

    void openWithoutCreateFindsOnlyExistingKeys() {
        QVERIFY(!Store->OpenKey(Key, false));
        QVERIFY_THROWS_EXCEPTION(ESysRegError, Store->WriteInteger(QStringLiteral("x"), 1));
        QVERIFY(Store->OpenKey(Key + QStringLiteral("\\Messages\\bob"), true));
        Store->CloseKey();
        QVERIFY(Store->OpenKey(Key + QStringLiteral("\\Messages"), false));
        Store->CloseKey();
    }

    void invalidKeyPaths_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << QString();
        QTest::newRow("empty name inside") << QStringLiteral("SOFTWARE\\\\Velmor");
        QTest::newRow("trailing backslash") << QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Messages\\");
        QTest::newRow("line break") << QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Messages\\a\nb");
    }
    void invalidKeyPaths() {
        QFETCH(QString, path);
        QVERIFY(!Store->OpenKey(path, true));
    }

    void senderKeyIsOneKeyWhateverTheNick() {
        const QString key = MessagesKeyOf(QStringLiteral("..\\..\\Nick List\r\n"));
        QVERIFY(Store->OpenKey(key, true));
        Store->WriteString(QStringLiteral("20011231235959"), QStringLiteral("hi"));
        Store->CloseKey();
        QVERIFY(!Store->GetKeyPaths().contains(QStringLiteral("SOFTWARE\\Velmor\\Cvrlik\\Nick List")));
        QCOMPARE(key.count(QLatin1Char('\\')), MessagesKey.count(QLatin1Char('\\')) + 1);
    }

    void deleteKeyRemovesItsSubkeys() {
        QVERIFY(Store->OpenKey(Key + QStringLiteral("\\Messages\\alice"), true));
        Store->WriteString(QStringLiteral("1"), QStringLiteral("a"));
        Store->CloseKey();
        QVERIFY(Store->OpenKey(Key + QStringLiteral("\\MessagesX"), true));
        Store->CloseKey();
        QVERIFY(Store->DeleteKey(Key + QStringLiteral("\\messages")));
        const QStringList paths = Store->GetKeyPaths();
        QVERIFY(!paths.contains(Key + QStringLiteral("\\Messages\\alice")));
        QVERIFY(paths.contains(Key + QStringLiteral("\\MessagesX")));
        QVERIFY(!Store->DeleteKey(Key + QStringLiteral("\\Messages")));
    }

    void filesArePrivate() {
        QVERIFY(Store->OpenKey(Key, true));
        Store->CloseKey();
        for (const auto& [path, mode] : {std::pair{Store->Folder(), 0700}, std::pair{Store->DatabasePath(), 0600},
                                         std::pair{Store->DatabasePath() + QStringLiteral("-wal"), 0600}}) {
            struct stat status {};
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
            QCOMPARE(int(status.st_mode & 0777), mode);
        }
    }

    void unreadableFileIsKeptAside_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("garbage") << QByteArray("garbage");
        QTest::newRow("truncated") << QByteArray("truncated");
        QTest::newRow("newer format") << QByteArray("newer");
        QTest::newRow("another program's database") << QByteArray("foreign");
    }
    void unreadableFileIsKeptAside() {
        QFETCH(QByteArray, kind);
        QVERIFY(Store->OpenKey(Key, true));
        for (int i = 0; i < 400; ++i) {
            Store->WriteString(QStringLiteral("v%1").arg(i), QString(200, QLatin1Char('x')));
        }
        Store->CloseKey();
        const QString path = Store->DatabasePath();
        Store.reset();
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        if (kind == "garbage") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(5000, '\x5A'));
        } else if (kind == "truncated") {
            QVERIFY(QFile::resize(path, QFileInfo(path).size() / 2));
        } else if (kind == "newer") {
            RunSql(path, "PRAGMA user_version=2");
        } else {
            QFile::remove(path);
            RunSql(path, "CREATE TABLE other(x)");
        }
        const QByteArray broken = [&path] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();

        Store = std::make_unique<TSysReg>(Folder.path() + QStringLiteral("/Velmor/Cvrlik"));
        QVERIFY(Store->OpenKey(Key, true));
        QCOMPARE(Store->GetValueNames(), QStringList());
        Store->WriteInteger(QStringLiteral("Fresh"), 1);
        Store->CloseKey();

        const QString keptAt = Store->TakeSetAsideNotice();
        QVERIFY(!keptAt.isEmpty());
        QVERIFY(Store->TakeSetAsideNotice().isEmpty());
        QFile kept(keptAt);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), broken);
    }

    void lockedStoreFailsAfterWaiting() {
        QVERIFY(Store->OpenKey(Key, true));
        Store->WriteInteger(QStringLiteral("Before"), 1);
        Store->CloseKey();

        TSysReg other(Store->Folder());
        QVERIFY(other.OpenKey(Key, true)); // holds the write lock until closed
        other.WriteInteger(QStringLiteral("Uncommitted"), 1);
        // Reading waits for nobody; it sees what was committed, and writes nothing.
        QVERIFY(Store->OpenKeyToRead(Key));
        QCOMPARE(Store->ReadInteger(QStringLiteral("Before")), 1);
        QCOMPARE(Store->GetValueNames(), QStringList{QStringLiteral("Before")});
        QVERIFY_THROWS_EXCEPTION(ESysRegError, Store->WriteInteger(QStringLiteral("During"), 1));
        Store->CloseKey();
        QVERIFY(!Store->OpenKey(Key, true));
        QVERIFY_THROWS_EXCEPTION(ESysRegError, Store->WriteInteger(QStringLiteral("During"), 1));
        QVERIFY_THROWS_EXCEPTION(ESysRegError, Store->ReadInteger(QStringLiteral("Before")));
        other.CloseKey();

        QVERIFY(Store->OpenKey(Key, true));
        QCOMPARE(Store->ReadInteger(QStringLiteral("Before")), 1);
        Store->CloseKey();
        QVERIFY(Store->TakeSetAsideNotice().isEmpty()); // a busy store is never taken for a broken one
    }

    void writesGoOnAfterAnotherProcessWrote() {
        QVERIFY(Store->OpenKey(Key, true));
        Store->WriteString(QStringLiteral("LoginName"), QStringLiteral("demo"));
        Store->CloseKey();
        QVERIFY(Store->OpenKey(Key, true));
        QCOMPARE(Store->ReadString(QStringLiteral("LoginName")), QStringLiteral("demo"));
        Store->CloseKey();

        TSysReg tool(Store->Folder()); // the store tool, writing while the program runs
        QVERIFY(tool.OpenKey(Key, true));
        tool.WriteInteger(QStringLiteral("ProxyPort"), 3128);
        tool.CloseKey();

        QVERIFY(Store->OpenKey(Key, true));
        QCOMPARE(Store->ReadInteger(QStringLiteral("ProxyPort")), 3128);
        Store->WriteString(QStringLiteral("LoginName"), QStringLiteral("other"));
        Store->CloseKey();
        QVERIFY(tool.OpenKey(Key, false));
        QCOMPARE(tool.ReadString(QStringLiteral("LoginName")), QStringLiteral("other"));
        tool.CloseKey();
    }

    void storeThatCannotBeReadNowStaysInPlace_data() {
        QTest::addColumn<bool>("exclusive");
        QTest::newRow("held in exclusive locking mode by another process") << true;
        QTest::newRow("its journal cannot be opened") << false;
    }
    void storeThatCannotBeReadNowStaysInPlace() {
        QFETCH(bool, exclusive);
        QVERIFY(Store->OpenKey(Key, true));
        Store->WriteString(QStringLiteral("LoginName"), QStringLiteral("demo"));
        Store->CloseKey();
        const QString folder = Store->Folder();
        const QString path = Store->DatabasePath();
        Store = std::make_unique<TSysReg>(folder); // a new run, nothing opened yet
        sqlite3* holder = nullptr;
        if (exclusive) {
            QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &holder), SQLITE_OK);
            QCOMPARE(sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
                     SQLITE_OK);
        } else {
            QVERIFY(QDir().mkdir(path + QStringLiteral("-wal")));
        }

        QVERIFY(!Store->OpenKey(Key, true));
        QVERIFY(Store->FailureReason().contains(QStringLiteral("nastavením")));
        QVERIFY(Store->TakeSetAsideNotice().isEmpty());
        QCOMPARE(QDir(folder).entryList({QStringLiteral("*unreadable*")}, QDir::AllEntries), QStringList());

        if (exclusive) {
            sqlite3_close(holder);
        } else {
            QVERIFY(QDir().rmdir(path + QStringLiteral("-wal")));
        }
        QVERIFY(Store->OpenKey(Key, false));
        QVERIFY(Store->FailureReason().isEmpty());
        QCOMPARE(Store->ReadString(QStringLiteral("LoginName")), QStringLiteral("demo"));
        Store->CloseKey();
    }

    void savingAListWaitsForAnotherWriter() {
        const QString nickList = Key + QStringLiteral("\\Nick List");
        QVERIFY(Store->OpenKey(nickList, true));
        Store->WriteBool(QStringLiteral("alice"), true);
        Store->CloseKey();
        const QString folder = Store->Folder();
        Store.reset(); // the child must not share this process's connection

        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            // The store tool writes for a while; the program saves its list meanwhile and must wait for it.
            TSysReg tool(folder);
            tool.OpenKey(Key, true);
            tool.WriteInteger(QStringLiteral("ProxyPort"), 3128);
            [[maybe_unused]] const ssize_t written = ::write(ready[1], "!", 1);
            ::usleep(200 * 1000);
            tool.CloseKey();
            _exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        const ssize_t got = ::read(ready[0], &byte, 1);
        ::close(ready[0]);
        QCOMPARE(got, ssize_t(1));

        Store = std::make_unique<TSysReg>(folder);
        QVERIFY(Store->OpenKey(nickList, false));
        QVERIFY(Store->DeleteValue(QStringLiteral("alice")));
        Store->WriteBool(QStringLiteral("bob"), false);
        Store->CloseKey();
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(Names(*Store, nickList), QStringList{QStringLiteral("bob")});
    }

    void failureInASequenceRollsItBackAtOnce_data() {
        QTest::addColumn<QByteArray>("refusal");
        QTest::newRow("a write fails") << QByteArray("CREATE TRIGGER refuse BEFORE INSERT ON entries "
                                                     "WHEN NEW.name = 'd' BEGIN SELECT RAISE(ABORT, 'no'); END");
        QTest::newRow("a delete fails") << QByteArray("CREATE TRIGGER refuse BEFORE DELETE ON entries "
                                                      "WHEN OLD.name = 'b' BEGIN SELECT RAISE(ABORT, 'no'); END");
    }
    void failureInASequenceRollsItBackAtOnce() {
        QFETCH(QByteArray, refusal);
        const QString nickList = Key + QStringLiteral("\\Nick List");
        SaveList(*Store, nickList, {QStringLiteral("a"), QStringLiteral("b")});
        RunSql(Store->DatabasePath(), refusal.constData());

        QVERIFY_THROWS_EXCEPTION(ESysRegError, SaveList(*Store, nickList, (QStringList{"c", "d", "e"})));
        QVERIFY(!Store->HasOpenKey());
        QVERIFY(!Store->FailureReason().isEmpty()); // what the sequence still tries fails with the store's reason
        // The write lock is free while the failure is being reported.
        TSysReg other(Store->Folder());
        QVERIFY(other.OpenKey(Key, true));
        other.WriteInteger(QStringLiteral("ProxyPort"), 3128);
        other.CloseKey();
        // Nothing of the failed sequence is committed by a later one.
        QVERIFY(Store->OpenKey(Key, true));
        Store->CloseKey();
        QCOMPARE(Names(*Store, nickList), (QStringList{"a", "b"}));
    }

    void failuresAreToldInCzech_data() {
        QTest::addColumn<int>("use");
        QTest::addColumn<QString>("told");
        QTest::newRow("write with no key open") << int(WriteWithoutKey) << QStringLiteral("nelze zapsat");
        QTest::newRow("delete with no key open") << int(DeleteWithoutKey) << QStringLiteral("nelze smazat");
        QTest::newRow("missing number") << int(MissingNumber) << QStringLiteral("chybí nebo není číslo");
        QTest::newRow("number read as text") << int(NumberAsText) << QStringLiteral("není text");
    }
    void failuresAreToldInCzech() {
        QFETCH(int, use);
        QFETCH(QString, told);
        if (use != WriteWithoutKey && use != DeleteWithoutKey) {
            QVERIFY(Store->OpenKey(Key, true));
            if (use == NumberAsText) {
                Store->WriteInteger(QStringLiteral("LoginName"), 1);
            }
        }
        try {
            Use(*Store, TFailingUse(use));
            QFAIL("no failure");
        } catch (const ESysRegError& error) {
            const QString text = QString::fromUtf8(error.what());
            QVERIFY2(text.contains(told) && text.contains(QStringLiteral("LoginName")), error.what());
        }
        Store->CloseKey();
    }
};

QTEST_GUILESS_MAIN(TestSysReg)
#include "tst_sysreg.moc"
