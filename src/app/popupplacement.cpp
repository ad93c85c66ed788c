#include "app/popupplacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

TPopupPlacement::TPopupPlacement(QPoint pointerOffset, QPoint besideOffset)
    : PointerOffset(pointerOffset)
    , BesideOffset(besideOffset) {}

bool TPopupPlacement::ProgramPlacesWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool TPopupPlacement::Place(QWidget& popup) const {
    if (ProgramPlacesWindows()) {
        popup.move(QCursor::pos() + PointerOffset);
        return true;
    }
    const bool anchored = Anchor && Anchor->isVisible();
    if (!popup.isVisible()) {
        // A popup of the main window's surface: placed relative to it, stacked above it, given no keyboard. Without
        // the main window, a window of its own.
        popup.winId();
        popup.windowHandle()->setTransientParent(anchored ? Anchor->windowHandle() : nullptr);
    }
    if (!anchored) {
        return false;
    }
    popup.move(Anchor->geometry().topLeft() + BesideOffset);
    return true;
}
