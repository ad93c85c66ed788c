#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <functional>

class QDialog;

// Every modal message box and every modal dialog of the program goes through here. A test switches on test mode
// and presets the answers, so no test ever blocks on a modal window; every message box shown is recorded.
class TModal {
public:
    struct TShownBox {
        QString Caption;
        QString Text;
        QMessageBox::Icon Icon;
    };
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

    // Test mode: message boxes take their answer from the preset queue (the default button, else the escape
    // answer, when it is empty) and dialogs are handed to the preset answers (Rejected when there is none).
    static void SetTestMode(bool on);
    static bool TestMode();
    static void PresetAnswer(QMessageBox::StandardButton answer);
    static void PresetDialog(TDialogAnswer answer);
    static const QList<TShownBox>& Shown();
    static void Clear();
};
