#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the event loop, so the program can close its main window the
// normal way when the session ends or the user presses Ctrl+C. The handler only writes one byte into a socket
// pair; everything else runs in the event loop. A signal ignored when the watcher is made (SIGHUP under nohup)
// stays ignored. One watcher per process.
class TSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit TSignalWatcher(QObject* parent = nullptr);
    ~TSignalWatcher() override;

    // False when the socket pair could not be made; the signals then keep their default action.
    bool IsWatching() const { return Notifier != nullptr; }
    // A signal has come already: it may have been read (an event loop run) before anything was connected to
    // TerminationRequested.
    bool TerminationSeen() const { return Seen; }

Q_SIGNALS:
    void TerminationRequested(int signalNumber);

private:
    void ReadSignal();

    QSocketNotifier* Notifier = nullptr;
    bool Seen = false;
};
