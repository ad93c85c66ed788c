#pragma once

#include <QStringList>
#include <optional>

// What the program was asked for on its command line. The program itself has one option, --autostart, which the
// login entry passes; --help and --version answer and end; the toolkit's own options (-platform, -style, -session
// from the session manager, ...) are left to it. Anything else is a mistake the user is told about.
struct TStartOptions {
    enum class TAction { Run, Help, Version, Misuse };
    TAction Action = TAction::Run;
    // Started by the login entry: the main window stays in the tray.
    bool StartedAtLogin = false;
    // For Misuse: what was wrong, in Czech.
    QString Mistake;
};

// Reads the arguments after the program's name.
TStartOptions ReadStartOptions(const QStringList& arguments);
TStartOptions ReadStartOptions(int argc, char** argv);

// Answers --help and --version on standard output and a mistake on standard error, before anything of the
// toolkit is made (so without a display). The exit code then, or nothing when the program is to run.
std::optional<int> AnswerStartOptions(const TStartOptions& options);

// Whether the main window is shown at start: as the user set it, hidden when the login started the program, but
// always where no tray icon could bring it back.
bool ShowMainFormAtStart(bool displayOnStart, bool startedAtLogin, bool trayReachable);
