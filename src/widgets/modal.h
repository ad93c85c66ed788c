#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QDialog;
class QObject;

// Every modal message box and every modal dialog of the program goes through here. A test switches on test mode
// and presets the answers, so no test ever blocks on a modal window; an observer a test installs sees every message
// box shown (nothing is kept otherwise).
class TModal {
public:
    struct TShownBox {
        QString Caption;
        QString Text;
        QMessageBox::Icon Icon;
    };
    using TObserver = std::function<void(const TShownBox& box)>;
    // Stands in for the user of a dialog in test mode: may fill its controls, returns the dialog's result.
    using TDialogAnswer = std::function<int(QDialog&)>;

    // A message box with the given caption, text and icon and Czech button texts. Returns the button chosen;
    // closing the box without a choice counts as Cancel (or No, or OK, whichever of them the box has).
    static QMessageBox::StandardButton MessageBox(QWidget* parent, const QString& caption, const QString& text,
                                                  QMessageBox::Icon icon,
                                                  QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // Runs the dialog modally and returns its result.
    static int ExecDialog(QDialog& dialog);

    // Ending the run: closes every modal window open now, innermost first and whatever it would ask, so that each
    // exec() on the stack returns; from then on no box or dialog opens (a box returns as if closed without a choice,
    // a dialog as rejected), and one whose exec() returns because of the quit returns so too. `unwound` runs at once
    // when no window is open, else from the event loop once the last exec() has returned (unless `context` is gone
    // by then).
    static void Quit(QObject* context, std::function<void()> unwound);
    static bool Quitting();
    // Modal windows whose exec() is on the stack now.
    static int Depth();

    // Test mode: message boxes take their answer from the preset queue (the default button, else the escape
    // answer, when it is empty) and dialogs are handed to the preset answers (Rejected when there is none); a preset
    // answer is no exec() that a quit closes.
    static void SetTestMode(bool on);
    static bool TestMode();
    static void PresetAnswer(QMessageBox::StandardButton answer);
    static void PresetDialog(TDialogAnswer answer);
    // Replaces the observer of the boxes shown; an empty one stops the watching.
    static void SetObserver(TObserver observer);
    // Forgets the preset answers and a quit.
    static void Clear();
};
