#pragma once

#include <QLockFile>
#include <QString>

// The mark that one copy of the program runs for this user: a lock file in the user's runtime folder, named after
// "Cvrlik (Klabos client by Velmor)". A lock left by a copy that crashed is taken over. Needs the application
// object: the lock records the program's name to tell its own stale locks from a reused process number.
class TSingleInstance {
public:
    static const QString MarkText;

    explicit TSingleInstance(const QString& folder = DefaultFolder());
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // True when this copy now holds the mark; false when another running copy holds it.
    bool TryAcquire();
    void Release();
    QString LockFilePath() const { return Path; }

    // The mark text made a file name: letters, digits, '.', '_' and '-' stay, every other run becomes one '-'.
    static QString LockFileName();
    // $XDG_RUNTIME_DIR, or the system's temporary folder when there is none.
    static QString DefaultFolder();

private:
    QString Path;
    QLockFile Lock;
};
