#pragma once

#include <QStringList>
#include <QUrl>

// The program's ways of reaching the desktop: the system beeps, the message sound and the shell's "open" of a web
// address. Every call is recorded; in test mode nothing reaches the desktop, so tests can watch what would have.
class TDesktop {
public:
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
    // "beep", "critical-stop", "open <url>", "sound <file>", oldest first.
    static const QStringList& Calls();
    static void ClearCalls();
};
