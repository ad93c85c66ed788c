#include "settings/smalldialog.h"

#include "widgets/pictures.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr QSize PictureSize(48, 48);

} // namespace

TSmallDialog::TSmallDialog(const QString& caption, const QString& picture, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(caption);
    QFont dialogFont(QStringLiteral("Tahoma"));
    dialogFont.setPointSize(8);
    setFont(dialogFont);

    auto* pictureLabel = new QLabel(this);
    pictureLabel->setPixmap(PicturePixmap(picture, PictureSize));
    pictureLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    pictureLabel->setFixedWidth(PictureSize.width() + 8);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    CancelButton = new QPushButton(QStringLiteral("Zrušit"), this);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    Fields = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(pictureLabel);
    top->addLayout(Fields, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addSpacing(6);
    layout->addLayout(buttons);
}

void TSmallDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen();
}

void TSmallDialog::CentreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}
