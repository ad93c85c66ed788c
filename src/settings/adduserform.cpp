#include "settings/adduserform.h"

#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "widgets/application.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

TAddUserForm::TAddUserForm(TSettingsForm* settingsForm, QWidget* parent)
    : TSmallDialog(QStringLiteral("Přidej uživatele"), QStringLiteral("dialog-add-user"), parent)
    , SettingsForm(settingsForm) {
    NickEdit = new QLineEdit(this);
    NotifyComboBox = new QComboBox(this);
    NotifyComboBox->addItems({QStringLiteral("ANO"), QStringLiteral("NE")});
    auto* nickLabel = new QLabel(QStringLiteral("&Nick:"), this);
    nickLabel->setBuddy(NickEdit);
    auto* notifyLabel = new QLabel(QStringLiteral("&Oznamovat:"), this);
    notifyLabel->setBuddy(NotifyComboBox);
    auto* form = new QFormLayout;
    form->addRow(nickLabel, NickEdit);
    form->addRow(notifyLabel, NotifyComboBox);
    Fields->addLayout(form);
    Fields->addStretch();
    NickEdit->setMinimumWidth(NickEdit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 24);

    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAddUserForm::OKButtonClick);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TAddUserForm::showEvent(QShowEvent* event) {
    TSmallDialog::showEvent(event);
    FormShow();
}

void TAddUserForm::FormShow() {
    NotifyComboBox->setCurrentIndex(1); // "NE"
    NickEdit->clear();
    NickEdit->setFocus();
}

void TAddUserForm::OKButtonClick() {
    const bool saved = TApplication::RunReportingFailure([this] {
        const QString nick = NickEdit->text();
        if (!nick.isEmpty()) {
            TUserCheckListBox* list = SettingsForm->UserCheckListBox;
            // The settings dialog is closed now; its selection handlers have nothing to do with this entry.
            const QSignalBlocker quiet(list);
            int index = list->IndexOfNick(nick);
            if (index < 0) {
                list->SetSortingSuspended(true);
                list->AddNick(nick);
                list->SetSortingSuspended(false);
                index = list->IndexOfNick(nick);
            }
            list->SetFlag(index, NotifyComboBox->currentIndex() == 0);
        }
        SettingsForm->SaveNickList();
    });
    if (saved) {
        accept();
    }
}
