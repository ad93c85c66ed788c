#include "store/sysreg.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <utility>

namespace {

// Marks a database as ours ("Cvr1") and gives the version of its tables; docs/store-format.md describes them.
constexpr int ApplicationId = 0x43767231;
constexpr int FormatVersion = 1;
// How long an operation waits for a store that another process holds locked.
constexpr int LockWaitMilliseconds = 5000;

const char* const SchemaSql = R"sql(
CREATE TABLE keys (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    path TEXT NOT NULL,
    folded TEXT NOT NULL UNIQUE
);
CREATE TABLE entries (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key_id INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL CHECK (type IN (1, 4)),
    data NOT NULL,
    UNIQUE (key_id, folded)
);
)sql";

QByteArray Utf8(const QString& text) {
    return text.toUtf8();
}

QString Fold(const QString& name) {
    return name.toCaseFolded();
}

// Whether a failure says the file is not a store we can read: not a database, damaged, or failing its check. A store
// that is busy, cannot be read just now (an I/O error, no memory) or may not be opened is none of these.
bool IsUnreadableFile(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT || primary == SQLITE_FORMAT;
}

// Why SQLite failed, in words for the user.
QString Reason(int code) {
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("soubor s nastavením má zamčený jiný proces a ani po %1 s čekání ho neuvolnil")
            .arg(LockWaitMilliseconds / 1000);
    case SQLITE_IOERR:
        return QStringLiteral("chyba při čtení nebo zápisu souboru s nastavením");
    case SQLITE_FULL:
        return QStringLiteral("na disku už není místo");
    case SQLITE_NOMEM:
        return QStringLiteral("došla paměť");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("do souboru s nastavením nelze zapisovat");
    case SQLITE_CANTOPEN:
        return QStringLiteral("soubor s nastavením nebo jeho deník nelze otevřít");
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
        return QStringLiteral("soubor s nastavením je poškozený");
    default:
        return QStringLiteral("databáze s nastavením ohlásila chybu %1").arg(code);
    }
}

[[noreturn]] void Fail(const QString& text) {
    throw ESysRegError(text.toStdString());
}

// What a value operation that failed did not do, for its text.
enum class TAction { Read, Write, Delete };

QString Verb(TAction action) {
    switch (action) {
    case TAction::Read:
        return QStringLiteral("přečíst");
    case TAction::Write:
        return QStringLiteral("zapsat");
    case TAction::Delete:
        return QStringLiteral("smazat");
    }
    return {};
}

class TStatement {
public:
    TStatement(sqlite3* db, const char* sql) { PrepareCode = sqlite3_prepare_v2(db, sql, -1, &Handle, nullptr); }
    ~TStatement() { sqlite3_finalize(Handle); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    bool Ok() const { return PrepareCode == SQLITE_OK && Handle != nullptr; }
    void Bind(int index, const QByteArray& text) {
        sqlite3_bind_text(Handle, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    void Bind(int index, qint64 number) { sqlite3_bind_int64(Handle, index, number); }
    // SQLITE_ROW, SQLITE_DONE, or the code of the failure (also of a failed preparation).
    int Step() {
        if (!Ok()) {
            return PrepareCode == SQLITE_OK ? SQLITE_ERROR : PrepareCode;
        }
        return sqlite3_step(Handle);
    }
    void Reset() {
        sqlite3_reset(Handle);
        sqlite3_clear_bindings(Handle);
    }
    qint64 Integer(int column) const { return sqlite3_column_int64(Handle, column); }
    QString Text(int column) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(Handle, column));
        return QString::fromUtf8(data, sqlite3_column_bytes(Handle, column));
    }

private:
    sqlite3_stmt* Handle = nullptr;
    int PrepareCode = SQLITE_OK;
};

// One use of a cached statement, reset when the use ends. A statement left on a row keeps its read snapshot past
// the commit; once another process has written the file, no later write of this connection could ever begin.
class TUse {
public:
    explicit TUse(TStatement& statement)
        : Used(statement) {}
    ~TUse() { Used.Reset(); }
    TUse(const TUse&) = delete;
    TUse& operator=(const TUse&) = delete;
    TStatement* operator->() const { return &Used; }
    TStatement& operator*() const { return Used; }

private:
    TStatement& Used;
};

// A value as found: its type and data, copied out of the statement.
struct TFound {
    TSysReg::TValueType Type = TSysReg::NoValue;
    qint64 Number = 0;
    QString Text;
};

} // namespace

struct TSysReg::TPrivate {
    QString Folder;
    sqlite3* Db = nullptr;
    std::map<const char*, std::unique_ptr<TStatement>> Statements;
    qint64 KeyId = 0; // the open key, 0 when none
    QString KeyPath;
    bool InTransaction = false;
    bool Written = false;  // the open transaction holds writes
    bool ReadOnly = false; // the open key was opened to read
    // Between BeginChanges and CommitChanges every sequence runs in one transaction; a failure ends it at once.
    enum class TChanges { None, Open, Failed };
    TChanges Changes = TChanges::None;
    QString ChangesFailure; // why the changes failed
    QString SetAsideNotice;
    QString FailureReason; // why the last open could not reach the store; empty when it could

    ~TPrivate() { CloseDatabase(); }

    QString DatabasePath() const { return Folder + QStringLiteral("/registry.db"); }

    TUse Statement(const char* sql) {
        auto& statement = Statements[sql];
        if (!statement || !statement->Ok()) {
            statement = std::make_unique<TStatement>(Db, sql); // a failed preparation is tried again next time
        }
        return TUse(*statement);
    }

    void ResetStatements() {
        for (auto& [sql, statement] : Statements) {
            statement->Reset();
        }
    }

    int Exec(const char* sql) { return sqlite3_exec(Db, sql, nullptr, nullptr, nullptr); }

    void CloseDatabase() {
        Statements.clear();
        if (Db != nullptr) {
            if (InTransaction) {
                // Changes begun together are saved together or not at all.
                Exec(Changes == TChanges::None ? "COMMIT" : "ROLLBACK");
            }
            sqlite3_close_v2(Db);
            Db = nullptr;
        }
        InTransaction = false;
        Changes = TChanges::None;
        ForgetKey();
    }

    void ForgetKey() {
        KeyId = 0;
        KeyPath.clear();
        ReadOnly = false;
    }

    // The folder 0700, the file 0600, before SQLite creates anything with its own wider modes. SQLite gives the
    // -wal and -shm files the mode of the database file.
    bool PrepareFiles() {
        if (!QDir().mkpath(Folder)) {
            return false;
        }
        ::chmod(QFile::encodeName(Folder).constData(), 0700);
        const QByteArray path = QFile::encodeName(DatabasePath());
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            return false;
        }
        ::fchmod(fd, 0600);
        ::close(fd);
        return true;
    }

    // Opens the database and checks that it is a store of ours. SQLITE_OK when usable; a code IsUnreadableFile()
    // accepts when the file is not a store; any other code when the file could not be looked at just now.
    int OpenAndCheck() {
        int code = sqlite3_open_v2(QFile::encodeName(DatabasePath()).constData(), &Db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (code != SQLITE_OK) {
            return code;
        }
        sqlite3_busy_timeout(Db, LockWaitMilliseconds);
        sqlite3_extended_result_codes(Db, 1);
        // Look before changing anything: a file that is not ours is moved aside untouched. Only what the check
        // finds counts against the file; a check that could not run (busy, an I/O error) does not.
        QString verdict;
        if ((code = QueryText("PRAGMA quick_check", verdict)) != SQLITE_OK) {
            return code;
        }
        if (verdict != QLatin1String("ok")) {
            return SQLITE_CORRUPT;
        }
        bool empty = false;
        if ((code = CheckFormat(empty)) != SQLITE_OK) {
            return code;
        }
        if ((code = Exec("PRAGMA journal_mode=WAL")) != SQLITE_OK ||
            (code = Exec("PRAGMA synchronous=FULL")) != SQLITE_OK ||
            (code = Exec("PRAGMA foreign_keys=ON")) != SQLITE_OK) {
            return code;
        }
        QString journal;
        qint64 synchronous = 0;
        if ((code = QueryText("PRAGMA journal_mode", journal)) != SQLITE_OK ||
            (code = QueryInteger("PRAGMA synchronous", synchronous)) != SQLITE_OK) {
            return code;
        }
        if (journal.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0 || synchronous != 2) {
            return SQLITE_CANTOPEN;
        }
        return empty ? CreateTables() : SQLITE_OK;
    }

    // The first column of the statement's one row; SQLITE_OK, or the code of the failure.
    int QueryInteger(const char* sql, qint64& value) {
        TStatement statement(Db, sql);
        const int code = statement.Step();
        if (code != SQLITE_ROW) {
            return code == SQLITE_DONE ? SQLITE_ERROR : code;
        }
        value = statement.Integer(0);
        return SQLITE_OK;
    }

    int QueryText(const char* sql, QString& value) {
        TStatement statement(Db, sql);
        const int code = statement.Step();
        if (code != SQLITE_ROW) {
            return code == SQLITE_DONE ? SQLITE_ERROR : code;
        }
        value = statement.Text(0);
        return SQLITE_OK;
    }

    int CheckFormat(bool& empty) {
        qint64 applicationId = 0;
        qint64 version = 0;
        qint64 tables = 0;
        int code;
        if ((code = QueryInteger("PRAGMA application_id", applicationId)) != SQLITE_OK ||
            (code = QueryInteger("PRAGMA user_version", version)) != SQLITE_OK ||
            (code = QueryInteger("SELECT count(*) FROM sqlite_schema", tables)) != SQLITE_OK) {
            return code;
        }
        empty = tables == 0 && applicationId == 0 && version == 0;
        if (empty) {
            return SQLITE_OK;
        }
        if (applicationId != ApplicationId || version != FormatVersion) {
            return SQLITE_NOTADB; // another program's database, or a store of a newer format
        }
        return SQLITE_OK;
    }

    int CreateTables() {
        const QByteArray sql = QByteArray("BEGIN IMMEDIATE;") + SchemaSql + QByteArray("PRAGMA application_id=") +
                               QByteArray::number(ApplicationId) + QByteArray(";PRAGMA user_version=") +
                               QByteArray::number(FormatVersion) + QByteArray(";COMMIT;");
        const int code = Exec(sql.constData());
        if (code != SQLITE_OK) {
            Exec("ROLLBACK");
        }
        return code;
    }

    // Moves the unreadable file (and its journal files, which must never be applied to a new store) aside.
    QString SetAside() {
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString target = DatabasePath() + QStringLiteral(".unreadable-") + stamp;
        for (int n = 2; QFileInfo::exists(target); ++n) {
            target = DatabasePath() + QStringLiteral(".unreadable-") + stamp + QLatin1Char('-') + QString::number(n);
        }
        if (!QFile::rename(DatabasePath(), target)) {
            return {};
        }
        for (const char* suffix : {"-wal", "-shm"}) {
            const QString journal = DatabasePath() + QLatin1String(suffix);
            if (QFileInfo::exists(journal)) {
                QFile::rename(journal, target + QLatin1String(suffix));
            }
        }
        return target;
    }

    // Opens the database when it is not open yet. On failure FailureReason says why; only a file that is not a
    // store is moved aside (and a fresh store begun), never one that is just busy or cannot be read now.
    bool EnsureOpen() {
        if (Db != nullptr) {
            return true;
        }
        if (!PrepareFiles()) {
            FailureReason = QStringLiteral("složku nebo soubor s nastavením nelze vytvořit ani otevřít");
            return false;
        }
        int code = OpenAndCheck();
        if (code == SQLITE_OK) {
            return true;
        }
        CloseDatabase();
        FailureReason = Reason(code);
        if (!IsUnreadableFile(code)) {
            return false; // busy, an I/O error, no memory: fail this operation and try again next time
        }
        const QString keptAt = SetAside();
        if (keptAt.isEmpty() || !PrepareFiles()) {
            FailureReason = QStringLiteral("soubor s nastavením je poškozený a nelze ho odložit stranou");
            return false;
        }
        SetAsideNotice = keptAt;
        code = OpenAndCheck();
        if (code != SQLITE_OK) {
            CloseDatabase();
            FailureReason = Reason(code);
            return false;
        }
        FailureReason.clear();
        return true;
    }

    // A sequence that may write takes the write lock at its start, waiting for another process's write to end: one
    // begun as a reader could not take it later without failing at once, whatever the wait. A sequence that only
    // reads takes no lock; in WAL mode it reads the last commit, also while another process writes. Inside changes
    // begun together, every sequence is part of their one transaction.
    bool Begin(bool toWrite) {
        if (Changes == TChanges::Open) {
            return true;
        }
        if (Changes == TChanges::Failed) {
            FailureReason = ChangesFailure;
            return false;
        }
        const int code = Exec(toWrite ? "BEGIN IMMEDIATE" : "BEGIN");
        if (code != SQLITE_OK) {
            FailureReason = Reason(code);
            return false;
        }
        InTransaction = true;
        Written = false;
        return true;
    }

    // Ends a sequence that found nothing to work on (its key is missing). Inside changes begun together, these go
    // on.
    void DropSequence() {
        ResetStatements();
        ForgetKey();
        if (Changes == TChanges::None && InTransaction) {
            Exec("ROLLBACK");
            InTransaction = false;
            Written = false;
        }
    }

    // Ends the transaction without keeping anything of it, and closes the key. Changes begun together fail whole.
    void Rollback() {
        ResetStatements();
        if (InTransaction) {
            Exec("ROLLBACK");
        }
        InTransaction = false;
        Written = false;
        ForgetKey();
        if (Changes == TChanges::Open) {
            Changes = TChanges::Failed;
            ChangesFailure =
                FailureReason.isEmpty() ? QStringLiteral("databáze s nastavením ohlásila chybu") : FailureReason;
        }
    }

    // A failure of the store inside a sequence ends the sequence at once: nothing of it is kept, so no later close
    // can commit half of it, and the write lock is free while the failure is being reported. What the caller still
    // tries in the sequence (after a read failure it let pass) fails with the same reason.
    [[noreturn]] void FailSequence(int code, const QString& text) {
        FailureReason = Reason(code);
        Rollback();
        Fail(text);
    }

    // Why no key is open, for the text of a failure.
    QString NoKeyReason() const {
        return FailureReason.isEmpty() ? QStringLiteral("není otevřen žádný klíč nastavení") : FailureReason;
    }

    QString ValueFailure(const QString& name, TAction action, const QString& reason) const {
        if (KeyPath.isEmpty()) {
            return QStringLiteral("Hodnotu „%1“ nelze %2: %3.").arg(name, Verb(action), reason);
        }
        return QStringLiteral("Hodnotu „%1“ v klíči „%2“ nelze %3: %4.").arg(name, KeyPath, Verb(action), reason);
    }

    void RequireOpenKey(const QString& name, TAction action) const {
        if (KeyId == 0) {
            Fail(ValueFailure(name, action, NoKeyReason()));
        }
    }

    void RequireWritableKey(const QString& name, TAction action) const {
        RequireOpenKey(name, action);
        if (ReadOnly) {
            Fail(ValueFailure(name, action, QStringLiteral("klíč je otevřen jen ke čtení")));
        }
    }

    // Ends an open begun with Begin(): the key found (id), or a failure of the store (code), or a missing key.
    bool Settle(const QString& path, int code, qint64 id, bool readOnly) {
        if (code != SQLITE_OK) {
            FailureReason = Reason(code);
            Rollback();
            return false;
        }
        if (id == 0) {
            DropSequence();
            return false;
        }
        KeyId = id;
        KeyPath = path;
        ReadOnly = readOnly;
        return true;
    }

    // The key's id in `id`, 0 when there is no such key; SQLITE_OK, or the code of the failure.
    int FindKey(const QString& path, qint64& id) {
        TUse find = Statement("SELECT id FROM keys WHERE folded = ?1");
        find->Bind(1, Utf8(Fold(path)));
        const int code = find->Step();
        id = code == SQLITE_ROW ? find->Integer(0) : 0;
        return code == SQLITE_ROW || code == SQLITE_DONE ? SQLITE_OK : code;
    }

    // Creates the key and each missing parent; SQLITE_OK with the key's id, or the code of the failure.
    int CreateKey(const QString& path, qint64& id) {
        QString prefix;
        for (const QString& name : path.split(QLatin1Char('\\'))) {
            prefix = prefix.isEmpty() ? name : prefix + QLatin1Char('\\') + name;
            int code = FindKey(prefix, id);
            if (code != SQLITE_OK) {
                return code;
            }
            if (id != 0) {
                continue;
            }
            TUse insert = Statement("INSERT INTO keys (path, folded) VALUES (?1, ?2)");
            insert->Bind(1, Utf8(prefix));
            insert->Bind(2, Utf8(Fold(prefix)));
            if ((code = insert->Step()) != SQLITE_DONE) {
                return code;
            }
            id = sqlite3_last_insert_rowid(Db);
            Written = true;
        }
        return SQLITE_OK;
    }

    TFound Find(const QString& name) {
        RequireOpenKey(name, TAction::Read);
        TUse find = Statement("SELECT type, data FROM entries WHERE key_id = ?1 AND folded = ?2");
        find->Bind(1, KeyId);
        find->Bind(2, Utf8(Fold(name)));
        const int code = find->Step();
        TFound found;
        if (code == SQLITE_ROW) {
            found.Type = TValueType(find->Integer(0));
            if (found.Type == IntegerValue) {
                found.Number = find->Integer(1);
            } else {
                found.Text = find->Text(1);
            }
        } else if (code != SQLITE_DONE) {
            FailSequence(code, ValueFailure(name, TAction::Read, Reason(code)));
        }
        return found;
    }

    template <typename Bind>
    void Write(const QString& name, TValueType type, Bind bindData) {
        RequireWritableKey(name, TAction::Write);
        int code;
        {
            TUse update = Statement("UPDATE entries SET type = ?3, data = ?4 WHERE key_id = ?1 AND folded = ?2");
            update->Bind(1, KeyId);
            update->Bind(2, Utf8(Fold(name)));
            update->Bind(3, qint64(type));
            bindData(*update, 4);
            code = update->Step();
        }
        if (code == SQLITE_DONE && sqlite3_changes(Db) == 0) {
            TUse insert =
                Statement("INSERT INTO entries (key_id, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)");
            insert->Bind(1, KeyId);
            insert->Bind(2, Utf8(name));
            insert->Bind(3, Utf8(Fold(name)));
            insert->Bind(4, qint64(type));
            bindData(*insert, 5);
            code = insert->Step();
        }
        if (code != SQLITE_DONE) {
            FailSequence(code, ValueFailure(name, TAction::Write, Reason(code)));
        }
        Written = true;
    }
};

TSysReg::TSysReg(const QString& folder)
    : d(std::make_unique<TPrivate>()) {
    d->Folder = QDir::cleanPath(folder);
}

TSysReg::~TSysReg() = default;

QString TSysReg::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Velmor/Cvrlik");
}

QString TSysReg::Folder() const {
    return d->Folder;
}

QString TSysReg::DatabasePath() const {
    return d->DatabasePath();
}

bool TSysReg::OpenKey(const QString& path, bool create) {
    CloseKey();
    d->FailureReason.clear();
    if (!IsValidKeyPath(path) || !d->EnsureOpen() || !d->Begin(true)) {
        return false;
    }
    qint64 id = 0;
    int code = d->FindKey(path, id);
    if (code == SQLITE_OK && id == 0 && create) {
        code = d->CreateKey(path, id);
    }
    return d->Settle(path, code, id, false);
}

bool TSysReg::OpenKeyToRead(const QString& path, bool create) {
    CloseKey();
    d->FailureReason.clear();
    if (!IsValidKeyPath(path) || !d->EnsureOpen() || !d->Begin(false)) {
        return false;
    }
    qint64 id = 0;
    const int code = d->FindKey(path, id);
    if (code == SQLITE_OK && id == 0 && create) {
        d->DropSequence();
        if (!OpenKey(path, true)) {
            return false;
        }
        d->ReadOnly = true;
        return true;
    }
    return d->Settle(path, code, id, true);
}

void TSysReg::CloseKey() {
    d->ForgetKey();
    if (!d->InTransaction) {
        return;
    }
    d->ResetStatements();
    if (d->Changes == TPrivate::TChanges::Open) {
        return; // saved with the rest by CommitChanges
    }
    const int code = d->Exec("COMMIT");
    if (code == SQLITE_OK) {
        d->InTransaction = false;
        d->Written = false;
        return;
    }
    const bool written = d->Written;
    d->Rollback();
    if (written) {
        Fail(QStringLiteral("Změny nastavení nelze uložit: %1.").arg(Reason(code)));
    }
}

bool TSysReg::HasOpenKey() const {
    return d->KeyId != 0;
}

QString TSysReg::CurrentPath() const {
    return d->KeyPath;
}

QString TSysReg::ReadString(const QString& name) {
    const TFound found = d->Find(name);
    if (found.Type == IntegerValue) {
        Fail(QStringLiteral("Hodnota „%1“ není text.").arg(name));
    }
    return found.Text;
}

qint32 TSysReg::ReadInteger(const QString& name) {
    const TFound found = d->Find(name);
    if (found.Type != IntegerValue) {
        Fail(QStringLiteral("Hodnota „%1“ chybí nebo není číslo.").arg(name));
    }
    return qint32(found.Number);
}

bool TSysReg::ReadBool(const QString& name) {
    return ReadInteger(name) != 0;
}

void TSysReg::WriteString(const QString& name, const QString& value) {
    const QByteArray data = Utf8(value);
    d->Write(name, StringValue, [&data](TStatement& statement, int index) { statement.Bind(index, data); });
}

void TSysReg::WriteInteger(const QString& name, qint32 value) {
    d->Write(name, IntegerValue, [value](TStatement& statement, int index) { statement.Bind(index, qint64(value)); });
}

void TSysReg::WriteBool(const QString& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

bool TSysReg::ValueExists(const QString& name) {
    return GetDataType(name) != NoValue;
}

TSysReg::TValueType TSysReg::GetDataType(const QString& name) {
    if (d->KeyId == 0) {
        return NoValue;
    }
    try {
        return d->Find(name).Type;
    } catch (const ESysRegError&) {
        return NoValue;
    }
}

bool TSysReg::DeleteValue(const QString& name) {
    d->RequireWritableKey(name, TAction::Delete);
    int code;
    {
        TUse remove = d->Statement("DELETE FROM entries WHERE key_id = ?1 AND folded = ?2");
        remove->Bind(1, d->KeyId);
        remove->Bind(2, Utf8(Fold(name)));
        code = remove->Step();
    }
    if (code != SQLITE_DONE) {
        d->FailSequence(code, d->ValueFailure(name, TAction::Delete, Reason(code)));
    }
    if (sqlite3_changes(d->Db) == 0) {
        return false;
    }
    d->Written = true;
    return true;
}

QStringList TSysReg::GetValueNames() {
    if (d->KeyId == 0) {
        Fail(QStringLiteral("Hodnoty nelze vypsat: %1.").arg(d->NoKeyReason()));
    }
    QStringList names;
    int code;
    {
        TUse list = d->Statement("SELECT name FROM entries WHERE key_id = ?1 ORDER BY id");
        list->Bind(1, d->KeyId);
        while ((code = list->Step()) == SQLITE_ROW) {
            names.append(list->Text(0));
        }
    }
    if (code != SQLITE_DONE) {
        d->FailSequence(code, QStringLiteral("Hodnoty klíče „%1“ nelze vypsat: %2.").arg(d->KeyPath, Reason(code)));
    }
    return names;
}

bool TSysReg::DeleteKey(const QString& path) {
    CloseKey();
    d->FailureReason.clear();
    if (!IsValidKeyPath(path) || !d->EnsureOpen() || !d->Begin(true)) {
        return false;
    }
    int code;
    {
        // The key itself and every key whose path continues it after a backslash.
        TUse remove =
            d->Statement("DELETE FROM keys WHERE folded = ?1 OR substr(folded, 1, length(?1) + 1) = ?1 || '\\'");
        remove->Bind(1, Utf8(Fold(path)));
        code = remove->Step();
    }
    if (code != SQLITE_DONE) {
        d->Settle(path, code, 0, false);
        return false;
    }
    if (sqlite3_changes(d->Db) == 0) {
        d->DropSequence(); // no such key
        return false;
    }
    if (d->Changes == TPrivate::TChanges::Open) {
        return true; // saved with the rest by CommitChanges
    }
    code = d->Exec("COMMIT");
    if (code != SQLITE_OK) {
        d->Settle(path, code, 0, false);
        return false;
    }
    d->InTransaction = false;
    return true;
}

bool TSysReg::BeginChanges() {
    CloseKey();
    d->FailureReason.clear();
    if (d->Changes != TPrivate::TChanges::None || !d->EnsureOpen() || !d->Begin(true)) {
        return false;
    }
    d->Changes = TPrivate::TChanges::Open;
    return true;
}

void TSysReg::CommitChanges() {
    d->ForgetKey();
    const TPrivate::TChanges changes = std::exchange(d->Changes, TPrivate::TChanges::None);
    if (changes == TPrivate::TChanges::Failed) {
        Fail(QStringLiteral("Změny nastavení nelze uložit: %1.").arg(d->ChangesFailure));
    }
    if (changes == TPrivate::TChanges::None || !d->InTransaction) {
        return;
    }
    d->ResetStatements();
    const int code = d->Exec("COMMIT");
    if (code == SQLITE_OK) {
        d->InTransaction = false;
        d->Written = false;
        return;
    }
    d->Rollback();
    Fail(QStringLiteral("Změny nastavení nelze uložit: %1.").arg(Reason(code)));
}

bool TSysReg::IsValidKeyPath(const QString& path) {
    if (path.isEmpty() ||
        std::any_of(path.cbegin(), path.cend(), [](QChar character) { return character.unicode() < 0x20; })) {
        return false;
    }
    const QStringList names = path.split(QLatin1Char('\\'));
    return std::none_of(names.cbegin(), names.cend(), [](const QString& name) { return name.isEmpty(); });
}

QStringList TSysReg::GetKeyPaths() {
    CloseKey();
    d->FailureReason.clear();
    if (!d->EnsureOpen()) {
        Fail(QStringLiteral("Klíče nastavení nelze vypsat: %1.").arg(d->FailureReason));
    }
    QStringList paths;
    int code;
    {
        TUse list = d->Statement("SELECT path FROM keys ORDER BY id");
        while ((code = list->Step()) == SQLITE_ROW) {
            paths.append(list->Text(0));
        }
    }
    if (code != SQLITE_DONE) {
        Fail(QStringLiteral("Klíče nastavení nelze vypsat: %1.").arg(Reason(code)));
    }
    return paths;
}

QString TSysReg::FailureReason() const {
    return d->FailureReason;
}

QString TSysReg::TakeSetAsideNotice() {
    return std::exchange(d->SetAsideNotice, QString());
}

namespace {
TSysReg* InstalledSysReg = nullptr;
}

TSysReg& SysReg() {
    if (InstalledSysReg == nullptr) {
        static TSysReg defaultStore;
        InstalledSysReg = &defaultStore;
    }
    return *InstalledSysReg;
}

void InstallSysReg(TSysReg* store) {
    InstalledSysReg = store;
}
