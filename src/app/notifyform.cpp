#include "app/notifyform.h"

TNotifyForm::TNotifyForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {}

void TNotifyForm::Notify() {
    if (Nicks.isEmpty()) {
        return;
    }
    Announced.append(Nicks);
}
