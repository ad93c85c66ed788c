#include "app/abouttokickform.h"

TAboutToKickForm::TAboutToKickForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {}

void TAboutToKickForm::Warn() {
    ++Warnings;
}
