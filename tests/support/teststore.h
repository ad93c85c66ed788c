#pragma once

// What the window tests share: a real store in a temporary folder, installed as the process-wide one, with the
// settings and the test seams back at their start; and plain reads and writes of that store.

#include "seamrecorder.h"
#include "store/settings.h"
#include "store/sysreg.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sqlite3.h>
#include <variant>

class TTestStore {
public:
    TTestStore()
        : Registry(Folder.path()) {
        InstallSysReg(&Registry);
        Settings = TSettings{};
        TModal::Clear();
        ClearSeamRecord();
    }
    ~TTestStore() { InstallSysReg(nullptr); }
    TTestStore(const TTestStore&) = delete;
    TTestStore& operator=(const TTestStore&) = delete;

    bool IsValid() const { return Folder.isValid(); }

    QTemporaryDir Folder;
    TSysReg Registry;
};

using TStoredValue = std::variant<std::monostate, QString, qint32>;
Q_DECLARE_METATYPE(TStoredValue)

// Writes the value (a text, a number, or monostate to delete it) in its own close-open-work-close sequence.
inline void Store(const QString& key, const QString& name, const TStoredValue& value) {
    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(key, true);
    if (const auto* text = std::get_if<QString>(&value)) {
        store.WriteString(name, *text);
    } else if (const auto* number = std::get_if<qint32>(&value)) {
        store.WriteInteger(name, *number);
    } else {
        store.DeleteValue(name);
    }
    store.CloseKey();
}

inline QStringList StoredNames(const QString& key) {
    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(key, true);
    const QStringList names = store.GetValueNames();
    store.CloseKey();
    return names;
}

// monostate when the value is missing.
inline TStoredValue StoredValue(const QString& key, const QString& name) {
    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(key, true);
    TStoredValue value;
    switch (store.GetDataType(name)) {
    case TSysReg::StringValue:
        value = store.ReadString(name);
        break;
    case TSysReg::IntegerValue:
        value = store.ReadInteger(name);
        break;
    default:
        break;
    }
    store.CloseKey();
    return value;
}

// Another process holding the store in exclusive locking mode, as a database tool can: while it lives, the store can
// be neither written nor read (a plain write lock does not keep anyone from reading). It gets that hold only while
// no other connection has the file open, so what a test wants in the store beforehand goes in through a store
// object of its own, gone before.
class TExclusiveHolder {
public:
    explicit TExclusiveHolder(const QString& databasePath) {
        Held =
            sqlite3_open(QFile::encodeName(databasePath).constData(), &Db) == SQLITE_OK &&
            sqlite3_exec(Db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~TExclusiveHolder() { sqlite3_close(Db); }
    TExclusiveHolder(const TExclusiveHolder&) = delete;
    TExclusiveHolder& operator=(const TExclusiveHolder&) = delete;

    bool IsHeld() const { return Held; }

private:
    sqlite3* Db = nullptr;
    bool Held = false;
};
