#pragma once

// The program's entry: everything main() does, in a library so the executable stays a one-liner. Returns the
// process's exit code, which is 0 in every case.
int RunProgram(int argc, char** argv);

class QWidget;

// Tells the user once, in an error box, where an unreadable store file was kept when the store started afresh.
// Called after the first store access; does nothing when the store was read.
void TellAboutSetAsideStore(QWidget* owner);
