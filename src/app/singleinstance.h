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

    // True when this copy now holds the mark; false when another running copy holds it, or when the mark cannot be
    // made at all (FailureReason() then says why).
    bool TryAcquire();
    // Why the last TryAcquire() could not make the mark (the runtime folder missing, read-only or full), in Czech;
    // empty when it could, also when another copy holds it.
    QString FailureReason() const { return Failure; }
    // Tells the user, on the standard error output and in a box where a display shows one, why the program cannot
    // start; false, telling nothing, when the mark could simply not be had because another copy holds it.
    bool TellFailure() const;
    void Release();
    QString LockFilePath() const { return Path; }

    // The mark text made a file name: letters, digits, '.', '_' and '-' stay, every other run becomes one '-'.
    static QString LockFileName();
    // $XDG_RUNTIME_DIR, or the system's temporary folder when there is none.
    static QString DefaultFolder();

private:
    QString Path;
    QLockFile Lock;
    QString Failure;
};
