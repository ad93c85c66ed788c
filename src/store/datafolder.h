#pragma once

#include <QString>

// The program's data folder: $XDG_DATA_HOME/Velmor/Cvrlik (~/.local/share/Velmor/Cvrlik by default). It holds the
// broadcast log and, when the user puts one there, the message sound that replaces the shipped one.
QString DataFolder();
// Creates the folder when missing and keeps it private (mode 0700). False when it cannot be made.
bool MakeDataFolder();
