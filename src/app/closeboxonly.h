#pragma once

class QApplication;
class QWidget;

// Asks the window manager for a title bar with the close box only, before the window is mapped (call it from the
// window's showEvent). The window's flags already say so through the Motif hints, which most window managers follow.
// Openbox keeps its minimize and maximize buttons whatever those hints say and drops them only for toolbar windows,
// so under Openbox the window is declared a toolbar. Nothing changes elsewhere, nor on platforms other than X11.
void AskForCloseBoxOnly(QWidget& window);

// The same for every framed window of the program as it is shown: Openbox minimizes a dialog together with the
// window it belongs to, and the main window's minimizing ends the program, so a dialog's minimize button would be
// the same trap as the main window's.
void AskForCloseBoxOnlyEverywhere(QApplication& application);
