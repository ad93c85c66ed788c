#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>

// A failed store operation that the caller did not expect to fail: a write or delete that did not happen, an
// integer read of a missing or mistyped value, a read of a string that is not one. Its text is Czech and goes to
// the user as it is.
class ESysRegError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The per-user configuration store: keys named by whole paths ("SOFTWARE\Velmor\Cvrlik\Nick List") holding typed
// values, kept in one SQLite database. Key and value names compare without regard to letter case and keep the
// spelling of their first write; values enumerate in the order they were created.
//
// Use is always one sequence: close, open the key needed, work, close. Opening begins a transaction and closing
// commits it, so each sequence is atomic and durable. One key is open at a time. Another process (the store tool)
// may use the file meanwhile: an open for writing waits for its write to end, an open for reading never does (it
// reads the store as it was when its sequence began). A failure of the store inside a sequence rolls the whole
// sequence back at once and closes the key.
class TSysReg {
public:
    enum TValueType { NoValue = 0, StringValue = 1, IntegerValue = 4 };

    // The store in `folder` (created 0700 on first use); nothing touches the disk before the first operation.
    explicit TSysReg(const QString& folder = DefaultFolder());
    ~TSysReg();
    TSysReg(const TSysReg&) = delete;
    TSysReg& operator=(const TSysReg&) = delete;

    // $XDG_CONFIG_HOME/Velmor/Cvrlik (~/.config/Velmor/Cvrlik by default).
    static QString DefaultFolder();
    QString Folder() const;
    QString DatabasePath() const;

    // Opens the key, creating it and its parents when missing and `create` is set. False when the key does not
    // exist (and is not to be created), the path is not a valid key path, or the store cannot be opened or locked
    // in time (FailureReason() then says why); the reads and writes that follow then fail.
    bool OpenKey(const QString& path, bool create);
    // Opens the key to read it: no write lock is taken, so another process's write never holds this up. Only a key
    // that is missing and to be created makes the open take the write lock, for its creation. Writes and deletes in
    // such a sequence throw. False as OpenKey.
    bool OpenKeyToRead(const QString& path, bool create = false);
    // Commits and closes the open key, if any. Throws ESysRegError when the commit of written values fails.
    void CloseKey();
    bool HasOpenKey() const;
    QString CurrentPath() const;

    // A missing value reads as empty text; a value of another type throws.
    QString ReadString(const QString& name);
    // A missing value or a value of another type throws.
    qint32 ReadInteger(const QString& name);
    bool ReadBool(const QString& name);
    // Creates or replaces the value; throws when no key is open or the value cannot be written.
    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, qint32 value);
    void WriteBool(const QString& name, bool value);
    bool ValueExists(const QString& name);
    TValueType GetDataType(const QString& name);
    // False when the key has no such value; throws when no key is open or the value cannot be deleted.
    bool DeleteValue(const QString& name);
    // Names of the open key's values in enumeration order; throws when no key is open.
    QStringList GetValueNames();

    // Removes the key with its values and every key below it. Closes the open key first. False when there is no
    // such key, or when the store failed (FailureReason() then says why).
    bool DeleteKey(const QString& path);
    // Makes every sequence until CommitChanges() one transaction, saved whole or not at all: a failure on the way
    // drops everything since BeginChanges() (what the caller then still tries fails, and so does the commit), as
    // does the end of the process before the commit. Takes the write lock at once, waiting for another process's
    // write as an open does. False when the store cannot be reached (FailureReason() says why).
    bool BeginChanges();
    // Saves what the sequences since BeginChanges() wrote. Throws ESysRegError when nothing of it could be saved.
    void CommitChanges();

    // Every key path of the store in creation order (for the store tool). Closes the open key first. Takes no
    // write lock.
    QStringList GetKeyPaths();

    // Whether the text can name a key: one or more non-empty names joined by backslashes, no control characters.
    static bool IsValidKeyPath(const QString& path);

    // Why the last OpenKey or DeleteKey could not reach the store (locked by another process after the wait, an
    // I/O error, no memory, ...), or why the store ended the open sequence, in Czech; empty when it could, also
    // when the key was simply missing.
    QString FailureReason() const;

    // When the database file was not a store (garbage, damaged, a newer format, another program's database) it was
    // moved aside and a fresh store started: the path it went to, handed out once; empty otherwise. A store that
    // is only locked or cannot be read just now stays where it is.
    QString TakeSetAsideNotice();

private:
    struct TPrivate;
    std::unique_ptr<TPrivate> d;
};

// The process-wide accessor. The program installs its store at start-up; tests install one on a temporary folder.
TSysReg& SysReg();
void InstallSysReg(TSysReg* store);
