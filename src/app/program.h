#pragma once

// The program's entry: everything main() does, in a library so the executable stays a one-liner. Returns the
// process's exit code: 0 for a normal run, also when another copy runs already; 1 when the single-instance mark
// cannot be made; 2 for a command line it does not understand (startoptions.h).
int RunProgram(int argc, char** argv);

#include <QByteArray>
#include <QProcessEnvironment>

class QWidget;
class TMainForm;
class TSettingsForm;
class TSignalWatcher;

// Ties the end of the run to the main window: a termination signal closes it the normal way, also one that came
// before; the event loop ends once it has closed, or at once when the application is minimized.
void TieRunToMainForm(TMainForm& mainForm, TSignalWatcher& signalWatcher);

// The platform the program asks Qt for in this session: Wayland itself in a Wayland session (X11 through XWayland
// only where that fails), where the compositor places the windows (popupplacement.h); empty to leave Qt's choice,
// also whenever the user chose a platform.
QByteArray PlatformForSession(const QProcessEnvironment& environment);

// Tells the user once, in an error box, where an unreadable store file was kept when the store started afresh.
// Called after the first store access; does nothing when the store was read.
void TellAboutSetAsideStore(QWidget* owner);

// Tells the user, in a box that opens from the event loop, that the settings could not be read at start (the store
// held by another process, say) and that nothing of them is saved until they are. Does nothing when they were read.
void TellAboutUnreadSettings(TMainForm& mainForm, const TSettingsForm& settingsForm);
