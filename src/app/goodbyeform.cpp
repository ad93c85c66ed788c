#include "app/goodbyeform.h"

#include "widgets/fonts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

namespace {

constexpr QSize ClientSize(229, 38);

} // namespace

TGoodbyeForm::TGoodbyeForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setWindowTitle(QStringLiteral("Cvrlik"));
    setAutoFillBackground(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);

    Label2 = new QLabel(QStringLiteral("Cvrlik"), this);
    Label2->setFont(TahomaPixels(11, true));
    Label2->move(4, 4);
    Label2->adjustSize();
    Label1 = new QLabel(QStringLiteral("Čeká se, až se ukončí proces připojování..."), this);
    Label1->setFont(TahomaPixels(11, false));
    Label1->move(20, 20);
    Label1->adjustSize();
    // Where Tahoma is missing its substitute runs wider; the window then grows to show the whole notice.
    setFixedSize(ClientSize.expandedTo(QSize(Label1->geometry().right() + 8, 0)));
}

void TGoodbyeForm::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void TGoodbyeForm::paintEvent(QPaintEvent*) {
    // Bevel1: a raised frame filling the window.
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());
}
