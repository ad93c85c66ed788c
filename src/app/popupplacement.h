#pragma once

#include <QPoint>
#include <QPointer>

class QWidget;

// Where the arrival popup and the idle-kick warning go. Under X11 a program learns where the pointer is and places
// its windows itself: they follow the pointer. Wayland does neither (the compositor places every window and tells
// the pointer's place only over the program's own windows), so there they hang beside the main window while it is
// shown, as popups anchored to it, which the compositor keeps in place and which never take the keyboard.
class TPopupPlacement {
public:
    // `pointerOffset`: the popup's top-left corner from the pointer's hot spot. `besideOffset`: from the top-left
    // corner of the main window's inside, where the pointer cannot be followed.
    TPopupPlacement(QPoint pointerOffset, QPoint besideOffset);

    // The main window (none in tests of the popups alone).
    void SetAnchor(QWidget* mainWindow) { Anchor = mainWindow; }

    // True where the program places its windows and knows where the pointer is: every platform but Wayland.
    static bool ProgramPlacesWindows();
    // Moves the popup to its place. Under Wayland with the main window hidden no place can be chosen: the popup is
    // left where the compositor puts it and false is returned.
    bool Place(QWidget& popup) const;

private:
    QPoint PointerOffset;
    QPoint BesideOffset;
    QPointer<QWidget> Anchor;
};
