#pragma once

#include <QStringList>
#include <QWidget>

// The notification popup that announces watched users who came on-line. The list update clears `Nicks` and appends
// the nicks to announce; `Notify` announces them. Its window and its announcement come with the popup's own work;
// until then it keeps what it was asked to announce.
class TNotifyForm : public QWidget {
    Q_OBJECT
public:
    explicit TNotifyForm(QWidget* parent = nullptr);

    QStringList Nicks;

    // Announces the nicks of `Nicks`; nothing when it is empty.
    void Notify();

    // Every announcement asked for, oldest first.
    QList<QStringList> Announced;
};
