#pragma once

// What the settings tests share: reading and writing the real store in the test's temporary folder, and showing a
// window as the active one so that focus and keys reach it as they reach a user's window.

#include "settings/sysreg.h"

#include <QAbstractItemView>
#include <QListWidget>
#include <QTest>
#include <QWidget>
#include <variant>

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

// Shows the window and waits until it is the active window, as a window the user opened is.
[[nodiscard]] inline bool ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// Clicks the middle of the entry's text, as the user picks an entry.
inline void ClickEntry(QListWidget* list, int row) {
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.right() - 4, rect.center().y()));
}
