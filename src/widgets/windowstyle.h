#pragma once

class QWidget;

// Switches the window's stay-on-top style. Changing window flags hides a shown window, so a shown window is shown
// again at its place.
void SetStayOnTop(QWidget* window, bool on);
