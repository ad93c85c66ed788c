#include "settings/settingsform.h"

#include "widgets/desktop.h"
#include "widgets/modal.h"
#include "widgets/windowstyle.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The handlers of the Server and General pages: change tracking for Apply, the proxy and port rules, the on-top
// switch and NET-DETECT.

quint16 TSettingsForm::ProxyPortFromEdit() const {
    // Only a real port is stored: text that is not a number, or a number outside 1..65535, stores "no port"
    // rather than some other port cut to 16 bits.
    bool isNumber = false;
    const int port = ProxyPortEdit->text().trimmed().toInt(&isNumber);
    return isNumber && port >= 1 && port <= 65535 ? static_cast<quint16>(port) : 0;
}

void TSettingsForm::EnableApply() {
    ApplyButton->setEnabled(true);
}

void TSettingsForm::UseProxyCheckBoxClick() {
    const bool on = UseProxyCheckBox->isChecked();
    ProxyServerLabel->setEnabled(on);
    ProxyServerEdit->setEnabled(on);
    ProxyPortLabel->setEnabled(on);
    ProxyPortEdit->setEnabled(on);
    EnableApply();
}

void TSettingsForm::UseProxyAuthCheckBoxClick() {
    const bool on = UseProxyAuthCheckBox->isChecked();
    ProxyNameLabel->setEnabled(on);
    ProxyNameEdit->setEnabled(on);
    ProxyPasswordLabel->setEnabled(on);
    ProxyPasswordEdit->setEnabled(on);
    EnableApply();
}

// ---- Server and General pages ----

void TSettingsForm::ConnectChangeTracking() {
    connect(LoginNameEdit, &QLineEdit::textChanged, this, &TSettingsForm::LoginNameEditChange);
    connect(LoginPasswordEdit, &QLineEdit::textChanged, this, &TSettingsForm::LoginPasswordEditChange);
    connect(RememberPasswordCheckBox, &QCheckBox::toggled, this, &TSettingsForm::RememberPasswordCheckBoxClick);
    connect(UseProxyCheckBox, &QCheckBox::toggled, this, &TSettingsForm::UseProxyCheckBoxClick);
    connect(UseProxyAuthCheckBox, &QCheckBox::toggled, this, &TSettingsForm::UseProxyAuthCheckBoxClick);
    connect(ProxyServerEdit, &QLineEdit::textChanged, this, &TSettingsForm::ProxyServerEditChange);
    connect(ProxyPortEdit, &QLineEdit::textChanged, this, &TSettingsForm::ProxyPortEditChange);
    connect(ProxyNameEdit, &QLineEdit::textChanged, this, &TSettingsForm::ProxyNameEditChange);
    connect(ProxyPasswordEdit, &QLineEdit::textChanged, this, &TSettingsForm::ProxyPasswordEditChange);

    connect(AutoConnectCheckBox, &QCheckBox::toggled, this, &TSettingsForm::AutoConnectCheckBoxClick);
    connect(DisplayOnStartCheckBox, &QCheckBox::toggled, this, &TSettingsForm::DisplayOnStartCheckBoxClick);
    connect(ReportErrorsCheckBox, &QCheckBox::toggled, this, &TSettingsForm::ReportErrorsCheckBoxClick);
    connect(AlwaysReconnectCheckBox, &QCheckBox::toggled, this, &TSettingsForm::AlwaysReconnectCheckBoxClick);
    connect(AlwaysOnTopCheckBox, &QCheckBox::toggled, this, &TSettingsForm::AlwaysOnTopCheckBoxClick);
    connect(SuspendCheckBox, &QCheckBox::toggled, this, &TSettingsForm::SuspendCheckBoxClick);
    connect(AboutToKickCheckBox, &QCheckBox::toggled, this, &TSettingsForm::AboutToKickCheckBoxClick);
    connect(NewOnlyCheckBox, &QCheckBox::toggled, this, &TSettingsForm::NewOnlyCheckBoxClick);
    connect(EasyMouseCheckBox, &QCheckBox::toggled, this, &TSettingsForm::NewOnlyCheckBoxClick);
    connect(RefreshIntervalSpinEdit, &QSpinBox::valueChanged, this, &TSettingsForm::RefreshIntervalSpinEditChange);
    connect(StatusRefreshIntervalSpinEdit, &QSpinBox::valueChanged, this,
            &TSettingsForm::StatusRefreshIntervalSpinEditChange);
    connect(NotifyDivisorSpinEdit, &QSpinBox::valueChanged, this, &TSettingsForm::NotifyDivisorSpinEditChange);
    connect(NotifyWaitSpinEdit, &QSpinBox::valueChanged, this, &TSettingsForm::NotifyWaitSpinEditChange);
    connect(AboutToKickTimeSpinEdit, &QSpinBox::valueChanged, this, &TSettingsForm::AboutToKickTimeSpinEditChange);
    connect(NetDetectButton, &QPushButton::clicked, this, &TSettingsForm::NetDetectButtonClick);
    connect(StartAtLoginCheckBox, &QCheckBox::toggled, this, &TSettingsForm::StartAtLoginCheckBoxClick);
}

void TSettingsForm::LoginNameEditChange() {
    EnableApply();
}

void TSettingsForm::LoginPasswordEditChange() {
    EnableApply();
}

void TSettingsForm::RememberPasswordCheckBoxClick() {
    EnableApply();
}

void TSettingsForm::ProxyServerEditChange() {
    EnableApply();
}

void TSettingsForm::ProxyPortEditChange() {
    EnableApply();
}

void TSettingsForm::ProxyNameEditChange() {
    EnableApply();
}

void TSettingsForm::ProxyPasswordEditChange() {
    EnableApply();
}

void TSettingsForm::ProxyPortEditExit() {
    if (CheckingPort) {
        return;
    }
    bool isNumber = false;
    const int port = ProxyPortEdit->text().toInt(&isNumber);
    if (isNumber && port >= 1 && port <= 65535) {
        return;
    }
    CheckingPort = true;
    ProxyPortEdit->clear();
    TModal::MessageBox(this, QStringLiteral("Neplatný výběr portu"),
                       QStringLiteral("Hodnota, kterou jste zadali, není platná pro HTTP proxy server.\n"
                                      "Zvolte číslo v rozsahu 1..65535."),
                       QMessageBox::Critical);
    CheckingPort = false;
}

void TSettingsForm::AutoConnectCheckBoxClick() {
    EnableApply();
}

void TSettingsForm::DisplayOnStartCheckBoxClick() {
    EnableApply();
}

void TSettingsForm::ReportErrorsCheckBoxClick() {
    EnableApply();
}

void TSettingsForm::AlwaysReconnectCheckBoxClick() {
    EnableApply();
}

void TSettingsForm::SuspendCheckBoxClick() {
    EnableApply();
}

void TSettingsForm::AboutToKickCheckBoxClick() {
    EnableApply();
}

void TSettingsForm::NewOnlyCheckBoxClick() {
    EnableApply();
}

void TSettingsForm::AlwaysOnTopCheckBoxClick() {
    EnableApply();
    if (Loading) {
        return;
    }
    TModal::MessageBox(this, QStringLiteral("Vždy na vrchu"),
                       QStringLiteral("Změna tohoto nastavení se projeví až po novém startu klienta."),
                       QMessageBox::Information);
}

void TSettingsForm::RefreshIntervalSpinEditChange() {
    EnableApply();
}

void TSettingsForm::StatusRefreshIntervalSpinEditChange() {
    EnableApply();
}

void TSettingsForm::NotifyDivisorSpinEditChange() {
    EnableApply();
}

void TSettingsForm::NotifyWaitSpinEditChange() {
    EnableApply();
}

void TSettingsForm::AboutToKickTimeSpinEditChange() {
    EnableApply();
}

void TSettingsForm::NetDetectButtonClick() {
    AlwaysReconnectCheckBox->setChecked(true);
    AutoConnectCheckBox->setChecked(true);
    ReportErrorsCheckBox->setChecked(false);
}

void TSettingsForm::StartAtLoginCheckBoxClick() {
    EnableApply();
}
