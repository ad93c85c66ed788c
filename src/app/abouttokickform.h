#pragma once

#include <QWidget>

// The warning that the user's own idle time is close to the service's idle limit. Its window comes with the
// warning's own work; until then it counts the warnings asked for.
class TAboutToKickForm : public QWidget {
    Q_OBJECT
public:
    explicit TAboutToKickForm(QWidget* parent = nullptr);

    // Starts the warning; nothing while one runs.
    void Warn();

    int Warnings = 0;
};
