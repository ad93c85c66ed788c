#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// The program's ways of reaching the desktop: the system beeps, the message sound and the shell's "open" of a web
// address. In test mode nothing reaches the desktop; an observer a test installs sees every call, so tests can watch
// what would have. Nothing is kept otherwise: an opened address holds the session key.
class TDesktop {
public:
    // Told each call as "beep", "critical-stop", "open <url>" or "sound <file>".
    using TObserver = std::function<void(const QString& call)>;

    // The plain system beep.
    static void Beep();
    // The critical-stop beep (the sound of an error message box).
    static void CriticalStopBeep();
    // Opens the address in the user's web browser; a failure is not reported.
    static void OpenUrl(const QUrl& url);
    // Called by the message sound each time it plays, so tests see the sound like the beeps.
    static void RecordSound(const QString& fileName);

    static void SetTestMode(bool on);
    static bool TestMode();
    // Replaces the observer; an empty one stops the watching.
    static void SetObserver(TObserver observer);
};
