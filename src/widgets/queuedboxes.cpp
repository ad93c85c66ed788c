#include "widgets/queuedboxes.h"

#include "widgets/modal.h"

TQueuedBoxes::TQueuedBoxes(QWidget* owner)
    : QObject(owner)
    , Owner(owner) {}

void TQueuedBoxes::Queue(const QString& caption, const QString& text, QMessageBox::Icon icon) {
    const TBox box{caption, text, icon};
    if (Stopped || Open.contains(box) || Waiting.contains(box)) {
        return;
    }
    Waiting.append(box);
    ScheduleNext();
}

void TQueuedBoxes::Stop() {
    Stopped = true;
    Waiting.clear();
}

bool TQueuedBoxes::Idle() const {
    return Waiting.isEmpty() && Open.isEmpty();
}

void TQueuedBoxes::ScheduleNext() {
    if (Scheduled || !Open.isEmpty() || Waiting.isEmpty()) {
        return;
    }
    Scheduled = true;
    QMetaObject::invokeMethod(this, &TQueuedBoxes::ShowNext, Qt::QueuedConnection);
}

void TQueuedBoxes::ShowNext() {
    Scheduled = false;
    if (Stopped || !Open.isEmpty() || Waiting.isEmpty()) {
        return;
    }
    Open.append(Waiting.takeFirst());
    const TBox box = Open.first();
    const QPointer<TQueuedBoxes> self(this);
    TModal::MessageBox(Owner, box.Caption, box.Text, box.Icon);
    if (!self) {
        return; // the owner went while the box was open
    }
    Open.clear();
    ScheduleNext();
}
