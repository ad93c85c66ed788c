#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

// Message boxes that open from the event loop, after the handler that asked for one has returned. A box runs an
// event loop of its own until the user closes it: opened inside a network handler it would hold that handler (and
// its client) up for as long. One box of the queue is open at a time, the next opens when it closes; a report equal
// to one that is waiting or open is not queued again, so a failure that repeats before the user has seen it adds
// no box.
class TQueuedBoxes : public QObject {
    Q_OBJECT
public:
    // The boxes are owned by `owner` while they are open.
    explicit TQueuedBoxes(QWidget* owner);

    void Queue(const QString& caption, const QString& text, QMessageBox::Icon icon);
    // Drops the boxes still waiting and every later report: the window that owns them is closing.
    void Stop();
    // Nothing is waiting and no box is open.
    bool Idle() const;

private:
    struct TBox {
        QString Caption;
        QString Text;
        QMessageBox::Icon Icon;
        bool operator==(const TBox& other) const { return Caption == other.Caption && Text == other.Text; }
    };

    void ScheduleNext();
    void ShowNext();

    QPointer<QWidget> Owner;
    QList<TBox> Waiting;
    QList<TBox> Open; // the box now open, at most one
    bool Scheduled = false;
    bool Stopped = false;
};
