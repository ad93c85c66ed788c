#include "widgets/modal.h"

#include "store/testing.h"

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

QString IconName(QMessageBox::Icon icon) {
    switch (icon) {
    case QMessageBox::Critical:
        return QStringLiteral("error");
    case QMessageBox::Warning:
        return QStringLiteral("warning");
    case QMessageBox::Question:
        return QStringLiteral("question");
    case QMessageBox::Information:
        return QStringLiteral("information");
    default:
        return QStringLiteral("none");
    }
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
    // A test run of the whole program records every box, also one that nobody will ever close (offscreen).
    const QStringList recorded{IconName(icon), caption, text};
    RecordTestingEvent(QStringLiteral("box-open"), recorded);
    const int result = box.exec();
    RecordTestingEvent(QStringLiteral("box-closed"), recorded);
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
    const QStringList recorded{QString::fromLatin1(dialog.metaObject()->className()), dialog.windowTitle()};
    RecordTestingEvent(QStringLiteral("dialog-open"), recorded);
    const int result = dialog.exec();
    RecordTestingEvent(QStringLiteral("dialog-closed"), recorded);
    return result;
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
