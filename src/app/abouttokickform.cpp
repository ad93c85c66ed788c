#include "app/abouttokickform.h"

#include "store/testing.h"
#include "widgets/desktop.h"
#include "widgets/fonts.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

namespace {

constexpr int WarnInterval = 100;

} // namespace

TAboutToKickForm::TAboutToKickForm(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(Size);

    Panel1 = new QLabel(QStringLiteral("KECEJ, PRÁCE POČKÁ"), this);
    Panel1->setGeometry(rect());
    Panel1->setAlignment(Qt::AlignCenter);
    // Raised outer and inner bevels around a red face.
    Panel1->setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    QPalette colours = Panel1->palette();
    colours.setColor(QPalette::Window, QColor(255, 0, 0));
    colours.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
    Panel1->setPalette(colours);
    Panel1->setFont(PixelFont(QStringLiteral("Arial"), 19, true));

    WarnTimer = new QTimer(this);
    WarnTimer->setInterval(Squeezed(WarnInterval));
    connect(WarnTimer, &QTimer::timeout, this, &TAboutToKickForm::WarnStep);
}

void TAboutToKickForm::Warn() {
    if (Busy) {
        return;
    }
    Busy = true;
    WarnTicks = 0;
    WarnStep();
    show();
}

void TAboutToKickForm::WarnStep() {
    if (WarnTicks >= Steps) {
        hide();
        WarnTimer->stop();
        Busy = false;
        return;
    }
    if (!QApplication::activeWindow()) {
        raise(); // above every other program's windows, but never over the program's own active one
    }
    ++WarnTicks;
    // Also where no place can be chosen (Wayland, the main window hidden): the warning then shows where the
    // compositor puts it.
    Placement.Place(*this);
    TDesktop::Beep();
}

void TAboutToKickForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (Busy) {
        WarnTimer->start();
    }
}

void TAboutToKickForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    WarnTimer->stop();
}
