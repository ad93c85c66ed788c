#include "settings/deluserform.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TDelUserForm::TDelUserForm(QWidget* parent)
    : TSmallDialog(QStringLiteral("Odstraň uživatele"), QStringLiteral("dialog-remove-user"), parent) {
    QuestionLabel = new QLabel(this);
    QuestionLabel->setWordWrap(true);
    QuestionLabel->setMinimumWidth(QuestionLabel->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 36);
    CommentTooCheckBox = new QCheckBox(QStringLiteral("&Odstranit včetně komentáře"), this);
    Fields->addWidget(QuestionLabel);
    Fields->addSpacing(8);
    Fields->addWidget(CommentTooCheckBox);
    Fields->addStretch();

    // Enter cancels, wherever the focus is, unless the user has moved it onto OK.
    CancelButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TDelUserForm::showEvent(QShowEvent* event) {
    FormShow();
    TSmallDialog::showEvent(event);
}

void TDelUserForm::FormShow() {
    QuestionLabel->setText(QStringLiteral("Opravdu chcete odstranit uživatele ") + Nick + QStringLiteral(" ?"));
    CancelButton->setFocus();
}
