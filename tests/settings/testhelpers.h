#pragma once

// What the settings tests share beside the test store: showing a window as the active one so that focus and keys
// reach it as they reach a user's window, and driving the list and fields as a user does.

#include "teststore.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QWidget>
#include <variant>

// Shows the window and waits until it is the active window, as a window the user opened is.
// (A dialog over an active window counts as active by itself; it must become the application's active window.)
[[nodiscard]] inline bool ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

// Clicks the middle of the entry's text, as the user picks an entry.
inline void ClickEntry(QListWidget* list, int row) {
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.right() - 4, rect.center().y()));
}

// Types the text key by key, Czech letters included; a line break is the Enter key.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        if (character == QLatin1Char('\n')) {
            QTest::keyClick(widget, Qt::Key_Return);
        } else if (character.unicode() < 0x80) {
            QTest::keyClick(widget, character.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
        }
    }
}

// Clicks the box where its check mark is drawn, whichever side its caption stands on.
inline void ClickBox(QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

// The captions of the message boxes shown so far, in order.
inline QStringList ShownCaptions() {
    QStringList captions;
    for (const TModal::TShownBox& box : ShownBoxes()) {
        captions.append(box.Caption);
    }
    return captions;
}
