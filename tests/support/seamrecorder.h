#pragma once

// The tests' observer of the desktop and modal seams: what would have reached the desktop and the boxes shown, kept
// from the moment RecordSeams() installs it until a test clears them (the test store does at its start).

#include "widgets/desktop.h"
#include "widgets/modal.h"

#include <QList>
#include <QStringList>

struct TSeamRecord {
    QStringList DesktopCalls;
    QList<TModal::TShownBox> ShownBoxes;
};

inline TSeamRecord& SeamRecord() {
    static TSeamRecord record;
    return record;
}

// Test mode for both seams, and the record watching them.
inline void RecordSeams() {
    TModal::SetTestMode(true);
    TDesktop::SetTestMode(true);
    TDesktop::SetObserver([](const QString& call) { SeamRecord().DesktopCalls.append(call); });
    TModal::SetObserver([](const TModal::TShownBox& box) { SeamRecord().ShownBoxes.append(box); });
}

// "beep", "critical-stop", "open <url>", "sound <file>", oldest first.
inline const QStringList& DesktopCalls() {
    return SeamRecord().DesktopCalls;
}

inline const QList<TModal::TShownBox>& ShownBoxes() {
    return SeamRecord().ShownBoxes;
}

inline void ClearSeamRecord() {
    SeamRecord() = {};
}
