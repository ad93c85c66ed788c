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

// A key path is one or more non-empty names joined by backslashes, without control characters.
bool IsValidKeyPath(const QString& path) {
    if (path.isEmpty() ||
        std::any_of(path.cbegin(), path.cend(), [](QChar character) { return character.unicode() < 0x20; })) {
        return false;
    }
    const QStringList names = path.split(QLatin1Char('\\'));
    return std::none_of(names.cbegin(), names.cend(), [](const QString& name) { return name.isEmpty(); });
}

// Whether a failure says the file is not a store we can read (as opposed to busy, missing rights or a full disk).
bool IsUnreadableFile(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT || primary == SQLITE_FORMAT;
}

class TStatement {
public:
    TStatement(sqlite3* db, const char* sql) { Code = sqlite3_prepare_v2(db, sql, -1, &Handle, nullptr); }
    ~TStatement() { sqlite3_finalize(Handle); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    bool Ok() const { return Code == SQLITE_OK && Handle != nullptr; }
    void Bind(int index, const QByteArray& text) {
        sqlite3_bind_text(Handle, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    void Bind(int index, qint64 number) { sqlite3_bind_int64(Handle, index, number); }
    int Step() {
        Code = sqlite3_step(Handle);
        return Code;
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
    int Code = SQLITE_OK;

private:
    sqlite3_stmt* Handle = nullptr;
};

} // namespace

struct TSysReg::TPrivate {
    QString Folder;
    sqlite3* Db = nullptr;
    std::map<const char*, std::unique_ptr<TStatement>> Statements;
    qint64 KeyId = 0; // the open key, 0 when none
    QString KeyPath;
    bool InTransaction = false;
    bool Written = false; // the open transaction holds writes
    QString SetAsideNotice;

    ~TPrivate() { CloseDatabase(); }

    QString DatabasePath() const { return Folder + QStringLiteral("/registry.db"); }

    TStatement& Statement(const char* sql) {
        auto& statement = Statements[sql];
        if (!statement) {
            statement = std::make_unique<TStatement>(Db, sql);
        }
        statement->Reset();
        return *statement;
    }

    int Exec(const char* sql) { return sqlite3_exec(Db, sql, nullptr, nullptr, nullptr); }

    void CloseDatabase() {
        Statements.clear();
        if (Db != nullptr) {
            if (InTransaction) {
                Exec("COMMIT");
            }
            sqlite3_close_v2(Db);
            Db = nullptr;
        }
        InTransaction = false;
        KeyId = 0;
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

    // Opens the database and checks that it is a store of ours; 0 when usable, else the failing code.
    int OpenAndCheck() {
        int code = sqlite3_open_v2(QFile::encodeName(DatabasePath()).constData(), &Db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (code != SQLITE_OK) {
            return code;
        }
        sqlite3_busy_timeout(Db, LockWaitMilliseconds);
        sqlite3_extended_result_codes(Db, 1);
        // Look before changing anything: a file that is not ours is moved aside untouched.
        if (PragmaText("quick_check") != QLatin1String("ok")) {
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
        if (PragmaText("journal_mode").compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0 ||
            PragmaInteger("synchronous") != 2) {
            return SQLITE_CANTOPEN;
        }
        return empty ? CreateTables() : SQLITE_OK;
    }

    qint64 PragmaInteger(const char* name) {
        const QByteArray sql = QByteArray("PRAGMA ") + name;
        TStatement statement(Db, sql.constData());
        return statement.Ok() && statement.Step() == SQLITE_ROW ? statement.Integer(0) : -1;
    }

    QString PragmaText(const char* name) {
        const QByteArray sql = QByteArray("PRAGMA ") + name;
        TStatement statement(Db, sql.constData());
        return statement.Ok() && statement.Step() == SQLITE_ROW ? statement.Text(0) : QString();
    }

    int CheckFormat(bool& empty) {
        const qint64 applicationId = PragmaInteger("application_id");
        const qint64 version = PragmaInteger("user_version");
        TStatement tables(Db, "SELECT count(*) FROM sqlite_schema");
        if (!tables.Ok() || tables.Step() != SQLITE_ROW) {
            return tables.Code == SQLITE_OK ? SQLITE_CORRUPT : tables.Code;
        }
        empty = tables.Integer(0) == 0 && applicationId == 0 && version == 0;
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

    bool EnsureOpen() {
        if (Db != nullptr) {
            return true;
        }
        if (!PrepareFiles()) {
            return false;
        }
        int code = OpenAndCheck();
        if (code == SQLITE_OK) {
            return true;
        }
        CloseDatabase();
        if (!IsUnreadableFile(code)) {
            return false; // busy, no rights, disk full: fail this operation and try again next time
        }
        const QString keptAt = SetAside();
        if (keptAt.isEmpty() || !PrepareFiles()) {
            return false;
        }
        SetAsideNotice = keptAt;
        code = OpenAndCheck();
        if (code != SQLITE_OK) {
            CloseDatabase();
            return false;
        }
        return true;
    }

    bool Begin(bool immediate) {
        if (Exec(immediate ? "BEGIN IMMEDIATE" : "BEGIN") != SQLITE_OK) {
            return false;
        }
        InTransaction = true;
        Written = false;
        return true;
    }

    void Rollback() {
        if (InTransaction) {
            Exec("ROLLBACK");
        }
        InTransaction = false;
        Written = false;
    }

    qint64 FindKey(const QString& path) {
        TStatement& find = Statement("SELECT id FROM keys WHERE folded = ?1");
        find.Bind(1, Utf8(Fold(path)));
        return find.Step() == SQLITE_ROW ? find.Integer(0) : 0;
    }

    // Creates the key and each missing parent; 0 on failure.
    qint64 CreateKey(const QString& path) {
        const QStringList names = path.split(QLatin1Char('\\'));
        qint64 id = 0;
        QString prefix;
        for (const QString& name : names) {
            prefix = prefix.isEmpty() ? name : prefix + QLatin1Char('\\') + name;
            id = FindKey(prefix);
            if (id != 0) {
                continue;
            }
            TStatement& insert = Statement("INSERT INTO keys (path, folded) VALUES (?1, ?2)");
            insert.Bind(1, Utf8(prefix));
            insert.Bind(2, Utf8(Fold(prefix)));
            if (insert.Step() != SQLITE_DONE) {
                return 0;
            }
            id = sqlite3_last_insert_rowid(Db);
            Written = true;
        }
        return id;
    }

    void RequireOpenKey(const QString& name) const {
        if (KeyId == 0) {
            throw ESysRegError(QStringLiteral("No key is open to access the value \"%1\".").arg(name).toStdString());
        }
    }

    // The type and the statement positioned on the value's row, or NoValue.
    TValueType Find(const QString& name, TStatement*& row) {
        TStatement& find = Statement("SELECT type, data FROM entries WHERE key_id = ?1 AND folded = ?2");
        find.Bind(1, KeyId);
        find.Bind(2, Utf8(Fold(name)));
        const int code = find.Step();
        if (code == SQLITE_ROW) {
            row = &find;
            return TValueType(find.Integer(0));
        }
        if (code != SQLITE_DONE) {
            throw ESysRegError(
                QStringLiteral("The value \"%1\" of \"%2\" cannot be read.").arg(name, KeyPath).toStdString());
        }
        return NoValue;
    }

    template <typename Bind>
    void Write(const QString& name, TValueType type, Bind bindData) {
        RequireOpenKey(name);
        TStatement& update = Statement("UPDATE entries SET type = ?3, data = ?4 WHERE key_id = ?1 AND folded = ?2");
        update.Bind(1, KeyId);
        update.Bind(2, Utf8(Fold(name)));
        update.Bind(3, qint64(type));
        bindData(update, 4);
        bool done = update.Step() == SQLITE_DONE;
        if (done && sqlite3_changes(Db) == 0) {
            TStatement& insert =
                Statement("INSERT INTO entries (key_id, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)");
            insert.Bind(1, KeyId);
            insert.Bind(2, Utf8(name));
            insert.Bind(3, Utf8(Fold(name)));
            insert.Bind(4, qint64(type));
            bindData(insert, 5);
            done = insert.Step() == SQLITE_DONE;
        }
        if (!done) {
            throw ESysRegError(QStringLiteral("The value \"%1\" of \"%2\" cannot be written: %3")
                                   .arg(name, KeyPath, QString::fromUtf8(sqlite3_errmsg(Db)))
                                   .toStdString());
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
    if (!IsValidKeyPath(path) || !d->EnsureOpen() || !d->Begin(create)) {
        return false;
    }
    qint64 id = d->FindKey(path);
    if (id == 0 && create) {
        id = d->CreateKey(path);
    }
    if (id == 0) {
        d->Rollback();
        return false;
    }
    d->KeyId = id;
    d->KeyPath = path;
    return true;
}

void TSysReg::CloseKey() {
    d->KeyId = 0;
    d->KeyPath.clear();
    if (!d->InTransaction) {
        return;
    }
    const bool written = d->Written;
    if (d->Exec("COMMIT") == SQLITE_OK) {
        d->InTransaction = false;
        d->Written = false;
        return;
    }
    const QString reason = QString::fromUtf8(sqlite3_errmsg(d->Db));
    d->Rollback();
    if (written) {
        throw ESysRegError(QStringLiteral("The store could not save the changes: %1").arg(reason).toStdString());
    }
}

bool TSysReg::HasOpenKey() const {
    return d->KeyId != 0;
}

QString TSysReg::CurrentPath() const {
    return d->KeyPath;
}

QString TSysReg::ReadString(const QString& name) {
    d->RequireOpenKey(name);
    TStatement* row = nullptr;
    switch (d->Find(name, row)) {
    case NoValue:
        return {};
    case StringValue:
        return row->Text(1);
    default:
        throw ESysRegError(QStringLiteral("The value \"%1\" is not a text.").arg(name).toStdString());
    }
}

qint32 TSysReg::ReadInteger(const QString& name) {
    d->RequireOpenKey(name);
    TStatement* row = nullptr;
    if (d->Find(name, row) != IntegerValue) {
        throw ESysRegError(QStringLiteral("The value \"%1\" is missing or not a number.").arg(name).toStdString());
    }
    return qint32(row->Integer(1));
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
    TStatement* row = nullptr;
    try {
        return d->Find(name, row);
    } catch (const ESysRegError&) {
        return NoValue;
    }
}

bool TSysReg::DeleteValue(const QString& name) {
    if (d->KeyId == 0) {
        return false;
    }
    TStatement& remove = d->Statement("DELETE FROM entries WHERE key_id = ?1 AND folded = ?2");
    remove.Bind(1, d->KeyId);
    remove.Bind(2, Utf8(Fold(name)));
    if (remove.Step() != SQLITE_DONE || sqlite3_changes(d->Db) == 0) {
        return false;
    }
    d->Written = true;
    return true;
}

QStringList TSysReg::GetValueNames() {
    d->RequireOpenKey(QString());
    TStatement& list = d->Statement("SELECT name FROM entries WHERE key_id = ?1 ORDER BY id");
    list.Bind(1, d->KeyId);
    QStringList names;
    int code;
    while ((code = list.Step()) == SQLITE_ROW) {
        names.append(list.Text(0));
    }
    if (code != SQLITE_DONE) {
        throw ESysRegError(QStringLiteral("The values of \"%1\" cannot be listed.").arg(d->KeyPath).toStdString());
    }
    return names;
}

bool TSysReg::DeleteKey(const QString& path) {
    CloseKey();
    if (!IsValidKeyPath(path) || !d->EnsureOpen() || !d->Begin(true)) {
        return false;
    }
    const QByteArray folded = Utf8(Fold(path));
    // The key itself and every key whose path continues it after a backslash.
    TStatement& remove =
        d->Statement("DELETE FROM keys WHERE folded = ?1 OR substr(folded, 1, length(?1) + 1) = ?1 || '\\'");
    remove.Bind(1, folded);
    const bool removed = remove.Step() == SQLITE_DONE && sqlite3_changes(d->Db) > 0;
    if (!removed || d->Exec("COMMIT") != SQLITE_OK) {
        d->Rollback();
        return false;
    }
    d->InTransaction = false;
    return true;
}

QStringList TSysReg::GetKeyPaths() {
    CloseKey();
    QStringList paths;
    if (!d->EnsureOpen()) {
        throw ESysRegError(QStringLiteral("The store %1 cannot be opened.").arg(DatabasePath()).toStdString());
    }
    TStatement& list = d->Statement("SELECT path FROM keys ORDER BY id");
    int code;
    while ((code = list.Step()) == SQLITE_ROW) {
        paths.append(list.Text(0));
    }
    if (code != SQLITE_DONE) {
        throw ESysRegError(QStringLiteral("The keys of the store cannot be listed.").toStdString());
    }
    return paths;
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
