#include "settings/settingsform.h"

#include "settings/autostartentry.h"
#include "settings/storereads.h"
#include "settings/userchecklistbox.h"
#include "store/encrypt.h"
#include "store/sysreg.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/modal.h"
#include "widgets/windowstyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

// Loading every setting and the watched-user list at creation, showing them in the controls, and saving them.

namespace {

qint32 ReadIntegerInRange(const TIntegerSetting& setting) {
    qint32 value = setting.Default;
    ReadOrKeep([&] { value = SysReg().ReadInteger(QLatin1String(setting.Name)); });
    return value >= setting.Minimum && value <= setting.Maximum ? value : setting.Default;
}

bool ReadFlag(const char* name, bool defaultValue) {
    bool value = defaultValue;
    ReadOrKeep([&] { value = SysReg().ReadBool(QLatin1String(name)); });
    return value;
}

QString ReadText(const char* name) {
    QString value;
    ReadOrKeep([&] { value = SysReg().ReadString(QLatin1String(name)); });
    return value;
}

const QString UnreadSettingsKept = QStringLiteral(
    "Nastavení se nepodařilo přečíst, a tak se neukládá: výchozí hodnoty by přepsaly to uložené. Až bude soubor s "
    "nastavením volný, zavřete a znovu otevřete okno nastavení, nastavení se přečte znovu.");
const QString UnreadNickListKept = QStringLiteral(
    "Seznam sledovaných uživatelů se nepodařilo přečíst, a tak se neukládá: přepsal by ten uložený. Až bude soubor "
    "s nastavením volný, otevřete okno nastavení, seznam se přečte znovu.");

void RefuseSaveOfUnread(bool unread, const QString& text) {
    if (unread) {
        throw ESysRegError(text.toStdString());
    }
}

} // namespace

void TSettingsForm::FormCreate() {
    VersionLabel->setText(VersionLabel->text() + VersionText());
    SetSpinEditRanges();
    CommentEdit->clear();
    LoadServerSettings();
    LoadNickList();
    LoadCommonSettings();
    ApplyButton->setEnabled(false);
}

void TSettingsForm::SetSpinEditRanges() {
    NotifyDivisorSpinEdit->setRange(NotifyDivisorSetting.Minimum, NotifyDivisorSetting.Maximum);
    NotifyWaitSpinEdit->setRange(NotifyWaitSetting.Minimum, NotifyWaitSetting.Maximum);
    AboutToKickTimeSpinEdit->setRange(AboutToKickWarningTimeSetting.Minimum, AboutToKickWarningTimeSetting.Maximum);
    RefreshIntervalSpinEdit->setRange(SessionRefreshSetting.Minimum, SessionRefreshSetting.Maximum);
    StatusRefreshIntervalSpinEdit->setRange(StatusRefreshSetting.Minimum, StatusRefreshSetting.Maximum);
}

bool TSettingsForm::SettingsUnread() const {
    return ServerSettingsUnread || CommonSettingsUnread || NickListUnread;
}

bool TSettingsForm::OpenForLoad(const QString& key) {
    TSysReg& store = SysReg();
    store.CloseKey();
    if (store.OpenKeyToRead(key, true)) {
        return true;
    }
    UnreadReasonText = store.FailureReason();
    return false;
}

void TSettingsForm::LoadServerSettings() {
    TSysReg& store = SysReg();
    ServerSettingsUnread = !OpenForLoad(ProductKey);
    Settings.LoginName = ReadText("LoginName");
    Settings.LoginPassword = UnscrambleText(ReadText("LoginPassword"));
    Settings.RememberPassword = ReadFlag("RememberPassword", false);
    Settings.UsingProxy = ReadFlag("UsingProxy", false);
    Settings.ProxyServer = ReadText("ProxyServer");
    Settings.ProxyPort = 0;
    ReadOrKeep([&] { Settings.ProxyPort = static_cast<quint16>(store.ReadInteger(QStringLiteral("ProxyPort"))); });
    Settings.UsingProxyAuthentization = ReadFlag("UsingProxyAuthentization", false);
    Settings.ProxyLoginName = ReadText("ProxyLoginName");
    Settings.ProxyPassword = UnscrambleText(ReadText("ProxyPassword"));
    CloseAfterLoad();
    ShowServerSettings();
}

void TSettingsForm::LoadNickList() {
    TSysReg& store = SysReg();
    NickListUnread = !OpenForLoad(NickListKey);
    // The listing and the flags share one guard: after the first failing read the remaining entries keep their
    // flags off. When the listing itself fails the list in memory stays as it was: emptying it would have the
    // next SaveNickList wipe the stored list.
    ReadOrKeep([&] {
        const QStringList nicks = store.GetValueNames();
        UserCheckListBox->ReplaceNicks(nicks);
        for (int index = 0; index < UserCheckListBox->Count(); ++index) {
            UserCheckListBox->SetFlag(index, store.ReadBool(UserCheckListBox->NickAt(index)));
        }
    });
    CloseAfterLoad();
    ResetUsersPage();
}

void TSettingsForm::LoadCommonSettings() {
    CommonSettingsUnread = !OpenForLoad(ProductKey);
    Settings.SessionRefresh = ReadIntegerInRange(SessionRefreshSetting);
    Settings.StatusRefresh = ReadIntegerInRange(StatusRefreshSetting);
    Settings.NotifyDivisor = ReadIntegerInRange(NotifyDivisorSetting);
    Settings.NotifyWait = ReadIntegerInRange(NotifyWaitSetting);
    Settings.AboutToKickWarningTime = ReadIntegerInRange(AboutToKickWarningTimeSetting);
    Settings.AutoConnectOnStartup = ReadFlag("AutoConnectOnStartup", false);
    Settings.DisplayOnStart = ReadFlag("DisplayOnStart", true);
    Settings.ReportNetworkErrors = ReadFlag("ReportNetworkErrors", true);
    Settings.AlwaysReconnect = ReadFlag("AlwaysReconnect", false);
    Settings.AlwaysOnTop = ReadFlag("AlwaysOnTop", false);
    SetStayOnTop(MainWindow, Settings.AlwaysOnTop);
    Settings.NotifyNewUsersOnly = ReadFlag("NotifyNewUsersOnly", true);
    Settings.EasyMouseMode = ReadFlag("EasyMouseMode", true);
    Settings.AboutToKickWarning = ReadFlag("AboutToKickWarning", false);
    CloseAfterLoad();
    Settings.SuspendNotifications = false;
    ShowCommonSettings();
}

void TSettingsForm::ResetUsersPage() {
    SelectQuietly(-1);
    SelectedIndex = -1;
    NickEdit->clear();
    NotifyComboBox->setCurrentIndex(-1);
    CommentEdit->clear();
    RemoveUserBtn->setEnabled(false);
}

void TSettingsForm::ShowServerSettings() {
    LoginNameEdit->setText(Settings.LoginName);
    LoginPasswordEdit->setText(Settings.LoginPassword);
    RememberPasswordCheckBox->setChecked(Settings.RememberPassword);
    UseProxyCheckBox->setChecked(Settings.UsingProxy);
    ProxyServerEdit->setText(Settings.ProxyServer);
    ProxyPortEdit->setText(Settings.ProxyPort == 0 ? QString() : QString::number(Settings.ProxyPort));
    UseProxyAuthCheckBox->setChecked(Settings.UsingProxyAuthentization);
    ProxyNameEdit->setText(Settings.ProxyLoginName);
    ProxyPasswordEdit->setText(Settings.ProxyPassword);
    UseProxyCheckBoxClick();
    UseProxyAuthCheckBoxClick();
}

void TSettingsForm::ShowCommonSettings() {
    Loading = true;
    RefreshIntervalSpinEdit->setValue(Settings.SessionRefresh);
    StatusRefreshIntervalSpinEdit->setValue(Settings.StatusRefresh);
    NotifyDivisorSpinEdit->setValue(Settings.NotifyDivisor);
    NotifyWaitSpinEdit->setValue(Settings.NotifyWait);
    AboutToKickTimeSpinEdit->setValue(Settings.AboutToKickWarningTime);
    AutoConnectCheckBox->setChecked(Settings.AutoConnectOnStartup);
    DisplayOnStartCheckBox->setChecked(Settings.DisplayOnStart);
    ReportErrorsCheckBox->setChecked(Settings.ReportNetworkErrors);
    AlwaysReconnectCheckBox->setChecked(Settings.AlwaysReconnect);
    AlwaysOnTopCheckBox->setChecked(Settings.AlwaysOnTop);
    SuspendCheckBox->setChecked(Settings.SuspendNotifications);
    NewOnlyCheckBox->setChecked(Settings.NotifyNewUsersOnly);
    EasyMouseCheckBox->setChecked(Settings.EasyMouseMode);
    AboutToKickCheckBox->setChecked(Settings.AboutToKickWarning);
    // Read afresh at every opening: the user or the desktop may have changed the entry meanwhile.
    StartAtLoginCheckBox->setChecked(TAutostartEntry().IsOn());
    Loading = false;
}

bool TSettingsForm::SaveReportingFailure() {
    // The general error report gets the failure here rather than in TApplication::notify(), so the exception
    // never unwinds through the toolkit's mouse handling.
    try {
        SaveSettings();
        return true;
    } catch (...) {
        TApplication::ReportCurrentException();
        return false;
    }
}

void TSettingsForm::SaveSettings() {
    RefuseSaveOfUnread(ServerSettingsUnread || CommonSettingsUnread, UnreadSettingsKept);
    if (LoginNameEdit->text() != Settings.LoginName) {
        Q_EMIT LoginNameChanged();
    }
    SaveServerValues();
    SaveNickList();
    SaveCommonValues();
    SaveStartAtLogin();
    ApplyButton->setEnabled(false);
}

void TSettingsForm::SaveStartAtLogin() {
    const TAutostartEntry entry;
    QString error;
    if (entry.SetOn(StartAtLoginCheckBox->isChecked(), error)) {
        return;
    }
    TModal::MessageBox(this, QStringLiteral("Spouštět po přihlášení"),
                       QStringLiteral("Spouštění po přihlášení se nepodařilo změnit.\n%1").arg(error),
                       QMessageBox::Warning);
    StartAtLoginCheckBox->setChecked(entry.IsOn());
}

void TSettingsForm::SaveServerValues() {
    Settings.LoginName = LoginNameEdit->text();
    Settings.LoginPassword = LoginPasswordEdit->text();
    Settings.RememberPassword = RememberPasswordCheckBox->isChecked();
    Settings.UsingProxy = UseProxyCheckBox->isChecked();
    Settings.ProxyServer = ProxyServerEdit->text();
    Settings.ProxyPort = ProxyPortFromEdit();
    Settings.UsingProxyAuthentization = UseProxyAuthCheckBox->isChecked();
    Settings.ProxyLoginName = ProxyNameEdit->text();
    Settings.ProxyPassword = ProxyPasswordEdit->text();

    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(ProductKey, true);
    store.WriteBool(QStringLiteral("UsingProxy"), Settings.UsingProxy);
    store.WriteString(QStringLiteral("ProxyServer"), Settings.ProxyServer);
    store.WriteInteger(QStringLiteral("ProxyPort"), Settings.ProxyPort);
    store.WriteBool(QStringLiteral("UsingProxyAuthentization"), Settings.UsingProxyAuthentization);
    store.WriteString(QStringLiteral("ProxyLoginName"), Settings.ProxyLoginName);
    store.WriteString(QStringLiteral("ProxyPassword"), ScrambleText(Settings.ProxyPassword));
    store.WriteString(QStringLiteral("KlabosServer"), QString());
    store.WriteString(QStringLiteral("LoginName"), Settings.LoginName);
    if (Settings.RememberPassword) {
        store.WriteString(QStringLiteral("LoginPassword"), ScrambleText(Settings.LoginPassword));
    } else {
        store.DeleteValue(QStringLiteral("LoginPassword"));
    }
    store.WriteBool(QStringLiteral("RememberPassword"), Settings.RememberPassword);
    store.CloseKey();
}

void TSettingsForm::SaveCommonValues() {
    Settings.SessionRefresh = RefreshIntervalSpinEdit->value();
    Settings.StatusRefresh = StatusRefreshIntervalSpinEdit->value();
    Settings.NotifyDivisor = NotifyDivisorSpinEdit->value();
    Settings.NotifyWait = NotifyWaitSpinEdit->value();
    Settings.AboutToKickWarningTime = AboutToKickTimeSpinEdit->value();
    Settings.AutoConnectOnStartup = AutoConnectCheckBox->isChecked();
    Settings.DisplayOnStart = DisplayOnStartCheckBox->isChecked();
    Settings.ReportNetworkErrors = ReportErrorsCheckBox->isChecked();
    Settings.AlwaysReconnect = AlwaysReconnectCheckBox->isChecked();
    Settings.AlwaysOnTop = AlwaysOnTopCheckBox->isChecked();
    Settings.SuspendNotifications = SuspendCheckBox->isChecked();
    Settings.NotifyNewUsersOnly = NewOnlyCheckBox->isChecked();
    Settings.EasyMouseMode = EasyMouseCheckBox->isChecked();
    Settings.AboutToKickWarning = AboutToKickCheckBox->isChecked();
    // In effect from now on, even should the store refuse to keep them.
    Q_EMIT SettingsApplied();

    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(ProductKey, true);
    store.WriteInteger(QLatin1String(SessionRefreshSetting.Name), Settings.SessionRefresh);
    store.WriteInteger(QLatin1String(StatusRefreshSetting.Name), Settings.StatusRefresh);
    store.WriteInteger(QLatin1String(NotifyDivisorSetting.Name), Settings.NotifyDivisor);
    store.WriteInteger(QLatin1String(NotifyWaitSetting.Name), Settings.NotifyWait);
    store.WriteInteger(QLatin1String(AboutToKickWarningTimeSetting.Name), Settings.AboutToKickWarningTime);
    store.WriteBool(QStringLiteral("AutoConnectOnStartup"), Settings.AutoConnectOnStartup);
    store.WriteBool(QStringLiteral("DisplayOnStart"), Settings.DisplayOnStart);
    store.WriteBool(QStringLiteral("ReportNetworkErrors"), Settings.ReportNetworkErrors);
    store.WriteBool(QStringLiteral("AlwaysReconnect"), Settings.AlwaysReconnect);
    store.WriteBool(QStringLiteral("AlwaysOnTop"), Settings.AlwaysOnTop);
    store.WriteBool(QStringLiteral("NotifyNewUsersOnly"), Settings.NotifyNewUsersOnly);
    store.WriteBool(QStringLiteral("EasyMouseMode"), Settings.EasyMouseMode);
    store.WriteBool(QStringLiteral("AboutToKickWarning"), Settings.AboutToKickWarning);
    store.CloseKey();
}

void TSettingsForm::SaveNickList() {
    RefuseSaveOfUnread(NickListUnread, UnreadNickListKept);
    TSysReg& store = SysReg();
    store.CloseKey();
    // Emptying the key and writing the list happen in one transaction, so a crash never leaves the stored list
    // empty or half written. A key that is missing (removed from outside) gives the critical-stop beep, as the
    // failed deletion of the key always has, and is created anew.
    if (store.OpenKey(NickListKey, false)) {
        const QStringList stored = store.GetValueNames();
        for (const QString& name : stored) {
            store.DeleteValue(name);
        }
    } else {
        TDesktop::CriticalStopBeep();
        if (!store.OpenKey(NickListKey, true)) {
            // Also an empty list must not pass for saved when the store could not be reached.
            throw ESysRegError(QStringLiteral("Seznam sledovaných uživatelů nelze uložit: %1.")
                                   .arg(store.FailureReason())
                                   .toStdString());
        }
    }
    for (int index = 0; index < UserCheckListBox->Count(); ++index) {
        store.WriteBool(UserCheckListBox->NickAt(index), UserCheckListBox->FlagAt(index));
    }
    store.CloseKey();
}
