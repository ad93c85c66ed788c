#pragma once

#include "app/popupplacement.h"

#include <QStringList>
#include <QWidget>

class QFrame;
class QLabel;
class QTimer;

// The notification popup: announces watched users who came on-line, one nick after another, in a small black
// strip that follows the mouse pointer (under Wayland: hangs over the main window, popupplacement.h), with a yellow
// highlight sweeping across the nick and a beep for each.
// The list update empties `NoticeQueue` and fills it; `Notify` announces what it holds.
class TNotifyForm : public QWidget {
    Q_OBJECT
public:
    explicit TNotifyForm(QWidget* parent = nullptr);

    // The popup's top-left corner, from the pointer's hot spot.
    static constexpr QPoint PointerOffset{20, -5};
    // Where the pointer cannot be followed: over the stripes at the main window's top.
    static constexpr QPoint BesideOffset{8, 8};
    static constexpr int Height = 14;
    static constexpr int SweepStep = 6;

    // The nicks to announce, in case-insensitive order, each once. Shared with the list update: a newer update may
    // change it while a run goes on, and the run shows whatever stands at the positions it has not passed yet.
    QStringList NoticeQueue;
    int NoticeIndex = 0;
    bool Busy = false;
    bool SweepRight = true;

    QLabel* NotifyLabel = nullptr;
    QWidget* EffectShape = nullptr;
    QFrame* Bevel1 = nullptr;
    QTimer* EffectTimer = nullptr;
    QTimer* NoticeTimer = nullptr;

    // Starts an announcement run over the queue; nothing when it is empty or a run is going on.
    void Notify();
    TPopupPlacement Placement{PointerOffset, BesideOffset};

public Q_SLOTS:
    // Shows the next nick of the run, or ends the run when none is left.
    void ShowNextNotice();
    // One step of the highlight's sweep; also keeps the popup at the pointer.
    void EffectTimerTimer();

Q_SIGNALS:
    // An announcement run began over these nicks.
    void RunStarted(const QStringList& nicks);
    // A nick is on screen now.
    void NoticeShown(const QString& nick);
    void RunEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};
