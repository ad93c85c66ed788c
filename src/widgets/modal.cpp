#include "widgets/modal.h"

#include "store/testing.h"

#include <QAbstractButton>
#include <QDialog>
#include <QPointer>
#include <QQueue>

namespace {

struct TModalState {
    bool TestMode = false;
    QQueue<QMessageBox::StandardButton> Answers;
    QQueue<TModal::TDialogAnswer> DialogAnswers;
    TModal::TObserver Observer;
    // The windows whose exec() is on the stack, outermost first.
    QList<QPointer<QDialog>> Open;
    bool Quitting = false;
    QPointer<QObject> UnwoundContext;
    std::function<void()> Unwound;
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

// Runs the window's exec() as one of the open modal windows; after a quit its result is the cancel one.
int RunModal(QDialog& window, int cancelled) {
    TModalState& state = State();
    state.Open.append(&window);
    const int result = window.exec();
    state.Open.removeAll(&window);
    state.Open.removeAll(nullptr);
    if (!state.Quitting) {
        return result;
    }
    if (state.Open.isEmpty() && state.Unwound) {
        // From the event loop: the caller of this exec() returns first, and the stack with it.
        QMetaObject::invokeMethod(
            state.UnwoundContext, [unwound = std::exchange(state.Unwound, {})] { unwound(); }, Qt::QueuedConnection);
    }
    return cancelled;
}

} // namespace

QMessageBox::StandardButton TModal::MessageBox(QWidget* parent, const QString& caption, const QString& text,
                                               QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton) {
    TModalState& state = State();
    if (state.Quitting) {
        return EscapeAnswer(buttons); // the run is ending: nobody is asked anything any more
    }
    if (state.Observer) {
        state.Observer({caption, text, icon});
    }
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
    const int result = RunModal(box, EscapeAnswer(buttons));
    RecordTestingEvent(QStringLiteral("box-closed"), recorded);
    const auto chosen = static_cast<QMessageBox::StandardButton>(result);
    return buttons.testFlag(chosen) ? chosen : EscapeAnswer(buttons);
}

int TModal::ExecDialog(QDialog& dialog) {
    TModalState& state = State();
    if (state.Quitting) {
        return QDialog::Rejected;
    }
    if (state.TestMode) {
        if (state.DialogAnswers.isEmpty()) {
            return QDialog::Rejected;
        }
        return state.DialogAnswers.dequeue()(dialog);
    }
    const QStringList recorded{QString::fromLatin1(dialog.metaObject()->className()), dialog.windowTitle()};
    RecordTestingEvent(QStringLiteral("dialog-open"), recorded);
    const int result = RunModal(dialog, QDialog::Rejected);
    RecordTestingEvent(QStringLiteral("dialog-closed"), recorded);
    return result;
}

void TModal::Quit(QObject* context, std::function<void()> unwound) {
    TModalState& state = State();
    state.Quitting = true;
    state.UnwoundContext = context;
    state.Unwound = std::move(unwound);
    if (state.Open.isEmpty()) {
        std::exchange(state.Unwound, {})();
        return;
    }
    // Innermost first. A window may refuse the close (a question it would ask is answered with its escape now):
    // it goes all the same.
    const QList<QPointer<QDialog>> open = state.Open;
    for (auto window = open.crbegin(); window != open.crend(); ++window) {
        if (*window) {
            (*window)->reject();
        }
        if (*window && (*window)->isVisible()) {
            (*window)->QDialog::done(QDialog::Rejected);
        }
    }
}

bool TModal::Quitting() {
    return State().Quitting;
}

int TModal::Depth() {
    return int(State().Open.size());
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

void TModal::SetObserver(TObserver observer) {
    State().Observer = std::move(observer);
}

void TModal::Clear() {
    TModalState& state = State();
    state.Answers.clear();
    state.DialogAnswers.clear();
    state.Quitting = false;
    state.Unwound = {};
}
