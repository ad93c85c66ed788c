#include "widgets/modal.h"

#include <QAbstractButton>
#include <QDialog>
#include <QQueue>

namespace {

struct TModalState {
    bool TestMode = false;
    QQueue<QMessageBox::StandardButton> Answers;
    QQueue<TModal::TDialogAnswer> DialogAnswers;
    QList<TModal::TShownBox> Shown;
};

TModalState& State() {
    static TModalState state;
    return state;
}

QString CzechButtonText(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok:
        return QStringLiteral("OK");
    case QMessageBox::Yes:
        return QStringLiteral("Ano");
    case QMessageBox::No:
        return QStringLiteral("Ne");
    case QMessageBox::Cancel:
        return QStringLiteral("Zrušit");
    default:
        return {};
    }
}

// What closing the box without pressing a button means.
QMessageBox::StandardButton EscapeAnswer(QMessageBox::StandardButtons buttons) {
    for (auto button : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok}) {
        if (buttons.testFlag(button)) {
            return button;
        }
    }
    return QMessageBox::NoButton;
}

} // namespace

QMessageBox::StandardButton TModal::MessageBox(QWidget* parent, const QString& caption, const QString& text,
                                               QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton) {
    TModalState& state = State();
    state.Shown.append({caption, text, icon});
    if (state.TestMode) {
        if (!state.Answers.isEmpty()) {
            return state.Answers.dequeue();
        }
        return defaultButton != QMessageBox::NoButton ? defaultButton : EscapeAnswer(buttons);
    }

    QMessageBox box(icon, caption, text, buttons, parent);
    for (QAbstractButton* button : box.buttons()) {
        const QString czech = CzechButtonText(box.standardButton(button));
        if (!czech.isEmpty()) {
            button->setText(czech);
        }
    }
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    box.setEscapeButton(EscapeAnswer(buttons));
    const int result = box.exec();
    const auto chosen = static_cast<QMessageBox::StandardButton>(result);
    return buttons.testFlag(chosen) ? chosen : EscapeAnswer(buttons);
}

int TModal::ExecDialog(QDialog& dialog) {
    TModalState& state = State();
    if (state.TestMode) {
        if (state.DialogAnswers.isEmpty()) {
            return QDialog::Rejected;
        }
        return state.DialogAnswers.dequeue()(dialog);
    }
    return dialog.exec();
}

void TModal::SetTestMode(bool on) {
    State().TestMode = on;
}

bool TModal::TestMode() {
    return State().TestMode;
}

void TModal::PresetAnswer(QMessageBox::StandardButton answer) {
    State().Answers.enqueue(answer);
}

void TModal::PresetDialog(TDialogAnswer answer) {
    State().DialogAnswers.enqueue(std::move(answer));
}

const QList<TModal::TShownBox>& TModal::Shown() {
    return State().Shown;
}

void TModal::Clear() {
    TModalState& state = State();
    state.Answers.clear();
    state.DialogAnswers.clear();
    state.Shown.clear();
}
