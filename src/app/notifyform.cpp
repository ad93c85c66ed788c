#include "app/notifyform.h"

#include "store/settings.h"
#include "store/testing.h"
#include "widgets/desktop.h"
#include "widgets/fonts.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {

constexpr int EffectInterval = 3;
constexpr QSize EffectSize{25, 11};
constexpr int EffectTop = 2;
constexpr int LabelLeft = 4;
const QColor Yellow(255, 255, 0);

// The highlight: a yellow rounded rectangle without an outline.
class TEffectShape : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Yellow);
        painter.drawRoundedRect(QRectF(rect()), 4, 4);
    }
};

} // namespace

TNotifyForm::TNotifyForm(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    // The popup never takes the keyboard from whatever the user is typing into.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    resize(LabelLeft * 2, Height);

    NotifyLabel = new QLabel(this);
    NotifyLabel->setFont(TahomaPixels(11, true));
    QPalette yellow = NotifyLabel->palette();
    yellow.setColor(QPalette::WindowText, Yellow);
    NotifyLabel->setPalette(yellow);
    NotifyLabel->move(LabelLeft, 0);

    EffectShape = new TEffectShape(this);
    EffectShape->setGeometry(QRect(QPoint(-EffectSize.width(), EffectTop), EffectSize));
    EffectShape->hide();
    EffectShape->raise(); // over the nick

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setAttribute(Qt::WA_TransparentForMouseEvents);

    EffectTimer = new QTimer(this);
    EffectTimer->setInterval(Squeezed(EffectInterval));
    EffectTimer->setTimerType(Qt::PreciseTimer);
    connect(EffectTimer, &QTimer::timeout, this, &TNotifyForm::EffectTimerTimer);

    NoticeTimer = new QTimer(this);
    connect(NoticeTimer, &QTimer::timeout, this, &TNotifyForm::ShowNextNotice);
}

void TNotifyForm::Notify() {
    if (NoticeQueue.isEmpty() || Busy) {
        return; // a run in progress is neither restarted nor extended
    }
    NoticeIndex = 0;
    NoticeTimer->setInterval(Squeezed(Settings.NotifyWait));
    Busy = true;
    Q_EMIT RunStarted(NoticeQueue);
    ShowNextNotice();
}

void TNotifyForm::ShowNextNotice() {
    SweepRight = true;
    if (!NoticeTimer->isActive()) {
        NoticeTimer->start();
    }
    hide();
    if (NoticeIndex > NoticeQueue.size() - 1) {
        // Everything shown, or a newer list update emptied the queue meanwhile.
        NoticeTimer->stop();
        Busy = false;
        Q_EMIT RunEnded();
        return;
    }
    const bool placed = Placement.Place(*this);
    TDesktop::Beep();
    const QString nick = NoticeQueue.at(NoticeIndex);
    NotifyLabel->setText(nick);
    NotifyLabel->adjustSize();
    resize(NotifyLabel->width() + 2 * LabelLeft, Height);
    Bevel1->setGeometry(rect());
    if (placed) {
        show();
    }
    // Else the main window is hidden under Wayland, where the popup would land anywhere; the desktop's notification
    // announces the run.
    ++NoticeIndex;
    Q_EMIT NoticeShown(nick);
}

void TNotifyForm::EffectTimerTimer() {
    if (!QApplication::activeWindow()) {
        raise(); // above every other program's windows, but never over the program's own active one
    }
    Placement.Place(*this);
    if (EffectShape->isHidden()) {
        EffectShape->move(-EffectShape->width(), EffectTop);
        EffectShape->show();
    } else {
        EffectShape->move(EffectShape->x() + (SweepRight ? SweepStep : -SweepStep), EffectTop);
    }
    const int left = EffectShape->x();
    if (left > NotifyLabel->x() + NotifyLabel->width() + SweepStep || left < -EffectShape->width()) {
        SweepRight = !SweepRight;
    }
}

void TNotifyForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    EffectTimer->start();
}

void TNotifyForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    EffectTimer->stop();
    EffectShape->hide();
}
