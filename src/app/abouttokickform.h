#pragma once

#include "app/popupplacement.h"

#include <QWidget>

class QLabel;
class QTimer;

// The warning that the user's own idle time nears the service's idle limit: a red bar with a fixed text that hangs
// just above the mouse pointer (under Wayland: over the main window, popupplacement.h) for two seconds, beeping ten
// times a second.
class TAboutToKickForm : public QWidget {
    Q_OBJECT
public:
    explicit TAboutToKickForm(QWidget* parent = nullptr);

    static constexpr QSize Size{239, 28};
    // The bar's top-left corner, from the pointer's hot spot.
    static constexpr QPoint PointerOffset{-50, -35};
    // Where the pointer cannot be followed: across the top of the main window.
    static constexpr QPoint BesideOffset{-25, 6};
    static constexpr int Steps = 20;

    QLabel* Panel1 = nullptr;
    QTimer* WarnTimer = nullptr;
    int WarnTicks = 0;
    bool Busy = false;

    // Starts one warning; nothing while one runs.
    void Warn();
    TPopupPlacement Placement{PointerOffset, BesideOffset};

public Q_SLOTS:
    // One step of the warning, every 100 ms: follow the pointer and beep; the twentieth ends it.
    void WarnStep();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};
