#include "settings/settingsform.h"

#include "settings/deluserform.h"
#include "settings/userchecklistbox.h"
#include "store/encrypt.h"
#include "store/nickcomments.h"
#include "store/sysreg.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/modal.h"
#include "widgets/pictures.h"
#include "widgets/windowstyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

constexpr QSize ClientSize(352, 436);
const QMargins GroupMargins(6, 4, 6, 4);

// Runs one store read; a failed read leaves the value as it was (its default), as every load wants.
template <typename Read>
void ReadOrKeep(Read read) {
    try {
        read();
    } catch (const ESysRegError&) {
    }
}

// Closing after a load commits at most the keys the open created; failing to keep them costs nothing.
void CloseAfterLoad() {
    ReadOrKeep([] { SysReg().CloseKey(); });
}

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

// A number field with its text before and after; a long text after it wraps rather than runs off the page.
QHBoxLayout* NumberRow(const QString& before, TSpinEdit* spin, const QString& after) {
    auto* row = new QHBoxLayout;
    if (!before.isEmpty()) {
        row->addWidget(new QLabel(before));
    }
    row->addWidget(spin);
    if (!after.isEmpty()) {
        auto* label = new QLabel(after);
        label->setWordWrap(true);
        row->addWidget(label, 1);
    } else {
        row->addStretch();
    }
    return row;
}

} // namespace

TSettingsForm::TSettingsForm(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , MainWindow(mainWindow) {
    InitPictures();
    setWindowTitle(QStringLiteral("Nastavení"));
    QFont dialogFont(QStringLiteral("Tahoma"));
    dialogFont.setPointSize(8);
    setFont(dialogFont);

    PageControl = new QTabWidget(this);
    // All four tabs in one row.
    PageControl->setUsesScrollButtons(false);
    PageControl->setElideMode(Qt::ElideNone);
    ServerTabSheet = CreateServerPage();
    UserTabSheet = CreateUserPage();
    CommonTabSheet = CreateCommonPage();
    AboutTabSheet = CreateAboutPage();
    PageControl->addTab(ServerTabSheet, PictureIcon(QStringLiteral("tab-server")), QStringLiteral("&Server a Proxy"));
    PageControl->addTab(UserTabSheet, PictureIcon(QStringLiteral("tab-users")), QStringLiteral("&Uživatelé"));
    PageControl->addTab(CommonTabSheet, PictureIcon(QStringLiteral("tab-general")), QStringLiteral("O&becné"));
    PageControl->addTab(AboutTabSheet, PictureIcon(QStringLiteral("tab-about")), QString());
    PageControl->setCurrentWidget(AboutTabSheet);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    CancelButton = new QPushButton(QStringLiteral("Zrušit"), this);
    ApplyButton = new QPushButton(QStringLiteral("Použít"), this);
    OKButton->setDefault(true);
    ApplyButton->setEnabled(false);
    connect(OKButton, &QPushButton::clicked, this, &TSettingsForm::OKButtonClick);
    connect(ApplyButton, &QPushButton::clicked, this, &TSettingsForm::ApplyButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TSettingsForm::CancelButtonClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(ApplyButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 8);
    layout->addWidget(PageControl);
    layout->addLayout(buttons);
    // Where Tahoma is missing its substitute runs wider; the dialog then grows just enough to show every text.
    setFixedSize(ClientSize.expandedTo(minimumSizeHint()));

    ConnectChangeTracking();
    ConnectUsersPage();
    // The dialog sees every key and focus change of its controls first; popups of its controls are windows of
    // their own and keep their keys.
    const QList<QWidget*> controls = findChildren<QWidget*>();
    for (QWidget* control : controls) {
        control->installEventFilter(this);
    }
    FormCreate();
}

QWidget* TSettingsForm::CreateServerPage() {
    auto* page = new QWidget;

    auto* loginGroup = new QGroupBox(QStringLiteral(" Login: "), page);
    LoginNameEdit = new QLineEdit(loginGroup);
    LoginPasswordEdit = new QLineEdit(loginGroup);
    LoginPasswordEdit->setEchoMode(QLineEdit::Password);
    RememberPasswordCheckBox = new QCheckBox(QStringLiteral("Zapamatovat heslo"), loginGroup);
    RememberPasswordCheckBox->setLayoutDirection(Qt::RightToLeft); // caption at the left of the box
    KlabosServerEdit = new QLineEdit(QStringLiteral(CVRLIK_SERVICE_HOST), loginGroup);
    KlabosServerEdit->setEnabled(false);
    KlabosServerEdit->setReadOnly(true);
    auto* loginLayout = new QFormLayout(loginGroup);
    loginLayout->addRow(QStringLiteral("Nick:"), LoginNameEdit);
    loginLayout->addRow(QStringLiteral("Heslo:"), LoginPasswordEdit);
    loginLayout->addRow(QString(), RememberPasswordCheckBox);
    loginLayout->addRow(QStringLiteral("Klabos Server:"), KlabosServerEdit);

    auto* proxyGroup = new QGroupBox(QStringLiteral(" Proxy: "), page);
    UseProxyCheckBox = new QCheckBox(QStringLiteral("Použít proxy server"), proxyGroup);
    ProxyServerLabel = new QLabel(QStringLiteral("Server:"), proxyGroup);
    ProxyServerEdit = new QLineEdit(proxyGroup);
    ProxyPortLabel = new QLabel(QStringLiteral("Port:"), proxyGroup);
    ProxyPortEdit = new QLineEdit(proxyGroup);
    ProxyPortEdit->setMaxLength(5);
    ProxyPortEdit->setMaximumWidth(ProxyPortEdit->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    UseProxyAuthCheckBox = new QCheckBox(QStringLiteral("Server vyžaduje autentizaci"), proxyGroup);
    ProxyNameLabel = new QLabel(QStringLiteral("Jméno:"), proxyGroup);
    ProxyNameEdit = new QLineEdit(proxyGroup);
    ProxyPasswordLabel = new QLabel(QStringLiteral("Heslo:"), proxyGroup);
    ProxyPasswordEdit = new QLineEdit(proxyGroup);
    ProxyPasswordEdit->setEchoMode(QLineEdit::Password);
    for (QWidget* control : {static_cast<QWidget*>(ProxyServerLabel), static_cast<QWidget*>(ProxyServerEdit),
                             static_cast<QWidget*>(ProxyPortLabel), static_cast<QWidget*>(ProxyPortEdit),
                             static_cast<QWidget*>(ProxyNameLabel), static_cast<QWidget*>(ProxyNameEdit),
                             static_cast<QWidget*>(ProxyPasswordLabel), static_cast<QWidget*>(ProxyPasswordEdit)}) {
        control->setEnabled(false);
    }
    auto* proxyLayout = new QGridLayout(proxyGroup);
    proxyLayout->addWidget(UseProxyCheckBox, 0, 0, 1, 4);
    proxyLayout->addWidget(ProxyServerLabel, 1, 0);
    proxyLayout->addWidget(ProxyServerEdit, 1, 1);
    proxyLayout->addWidget(ProxyPortLabel, 1, 2);
    proxyLayout->addWidget(ProxyPortEdit, 1, 3);
    proxyLayout->addWidget(UseProxyAuthCheckBox, 2, 0, 1, 4);
    proxyLayout->addWidget(ProxyNameLabel, 3, 0);
    proxyLayout->addWidget(ProxyNameEdit, 3, 1, 1, 3);
    proxyLayout->addWidget(ProxyPasswordLabel, 4, 0);
    proxyLayout->addWidget(ProxyPasswordEdit, 4, 1, 1, 3);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(loginGroup);
    layout->addWidget(proxyGroup);
    layout->addStretch();
    return page;
}

QWidget* TSettingsForm::CreateUserPage() {
    auto* page = new QWidget;
    UserCheckListBox = new TUserCheckListBox(page);
    NickEdit = new QLineEdit(page);
    NotifyComboBox = new QComboBox(page);
    NotifyComboBox->addItems({QStringLiteral("ANO"), QStringLiteral("NE")});
    AddUserBtn = new QPushButton(QStringLiteral("&Přidej"), page);
    RemoveUserBtn = new QPushButton(QStringLiteral("Odst&raň"), page);
    RemoveUserBtn->setEnabled(false);
    CommentEdit = new QPlainTextEdit(page);
    CommentEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* nickLabel = new QLabel(QStringLiteral("&Nick:"), page);
    nickLabel->setBuddy(NickEdit);
    auto* notifyLabel = new QLabel(QStringLiteral("&Oznamovat:"), page);
    notifyLabel->setBuddy(NotifyComboBox);
    auto* commentLabel = new QLabel(QStringLiteral("&Komentář:"), page);
    commentLabel->setBuddy(CommentEdit);

    auto* fields = new QGridLayout;
    fields->addWidget(nickLabel, 0, 0);
    fields->addWidget(NickEdit, 0, 1);
    fields->addWidget(AddUserBtn, 0, 2);
    fields->addWidget(notifyLabel, 1, 0);
    fields->addWidget(NotifyComboBox, 1, 1);
    fields->addWidget(RemoveUserBtn, 1, 2);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(UserCheckListBox, 3);
    layout->addLayout(fields);
    layout->addWidget(commentLabel);
    layout->addWidget(CommentEdit, 2);
    return page;
}

QWidget* TSettingsForm::CreateCommonPage() {
    auto* page = new QWidget;

    auto* startGroup = new QGroupBox(QStringLiteral(" Po startu: "), page);
    AutoConnectCheckBox = new QCheckBox(QStringLiteral("Automaticky připojit"), startGroup);
    DisplayOnStartCheckBox = new QCheckBox(QStringLiteral("Zobrazit hlavní okno"), startGroup);
    AlwaysOnTopCheckBox = new QCheckBox(QStringLiteral("Vždy na vrchu"), startGroup);
    auto* startLayout = new QVBoxLayout(startGroup);
    startLayout->setContentsMargins(GroupMargins);
    startLayout->addWidget(AutoConnectCheckBox);
    startLayout->addWidget(DisplayOnStartCheckBox);
    startLayout->addWidget(AlwaysOnTopCheckBox);

    auto* errorGroup = new QGroupBox(QStringLiteral(" Chyby připojení: "), page);
    ReportErrorsCheckBox = new QCheckBox(QStringLiteral("Hlásit"), errorGroup);
    AlwaysReconnectCheckBox = new QCheckBox(QStringLiteral("Opakovaně připojovat"), errorGroup);
    auto* errorLayout = new QVBoxLayout(errorGroup);
    errorLayout->setContentsMargins(GroupMargins);
    errorLayout->addWidget(ReportErrorsCheckBox);
    errorLayout->addWidget(AlwaysReconnectCheckBox);
    errorLayout->addStretch();

    NetDetectButton = new QPushButton(QStringLiteral("Nastavit pro NET-DETECT"), page);

    auto* notifyGroup = new QGroupBox(QStringLiteral(" Oznamování uživatelů: "), page);
    NotifyDivisorSpinEdit = new TSpinEdit(1, 3, notifyGroup);
    NewOnlyCheckBox = new QCheckBox(QStringLiteral("Jen nově příchozí"), notifyGroup);
    NotifyWaitSpinEdit = new TSpinEdit(100, 4, notifyGroup);
    SuspendCheckBox = new QCheckBox(QStringLiteral("Dočasně potlačit"), notifyGroup);
    QFont bold = SuspendCheckBox->font();
    bold.setBold(true);
    SuspendCheckBox->setFont(bold);
    auto* notifyLayout = new QVBoxLayout(notifyGroup);
    notifyLayout->setContentsMargins(GroupMargins);
    auto* divisorRow = NumberRow(QStringLiteral("Po "), NotifyDivisorSpinEdit, QStringLiteral("obnovení(ch)"));
    divisorRow->addWidget(NewOnlyCheckBox);
    notifyLayout->addLayout(divisorRow);
    notifyLayout->addLayout(
        NumberRow(QStringLiteral("Čekej"), NotifyWaitSpinEdit, QStringLiteral("milisekund, než bude oznámen další")));
    notifyLayout->addWidget(SuspendCheckBox);

    AboutToKickCheckBox = new QCheckBox(QStringLiteral("Varovat před vyhozením"), page);
    AboutToKickTimeSpinEdit = new TSpinEdit(1, 0, page);
    RefreshIntervalSpinEdit = new TSpinEdit(5, 3, page);
    StatusRefreshIntervalSpinEdit = new TSpinEdit(1, 3, page);
    AboutToKickTimeSpinEdit->setMaximumWidth(RefreshIntervalSpinEdit->maximumWidth());
    EasyMouseCheckBox = new QCheckBox(QStringLiteral("Snadná myš"), page);

    auto* topRow = new QHBoxLayout;
    topRow->addWidget(startGroup);
    topRow->addWidget(errorGroup);
    auto* kickRow = NumberRow(QString(), AboutToKickTimeSpinEdit, QStringLiteral("minut."));
    kickRow->insertWidget(0, AboutToKickCheckBox);
    kickRow->insertWidget(1, new QLabel(QStringLiteral("Hranice")));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addLayout(topRow);
    layout->addWidget(NetDetectButton, 0, Qt::AlignLeft);
    layout->addWidget(notifyGroup);
    layout->addLayout(kickRow);
    layout->addLayout(NumberRow(QStringLiteral("Obnovovat po"), RefreshIntervalSpinEdit, QStringLiteral("sekundách.")));
    layout->addLayout(
        NumberRow(QStringLiteral("Občerstvení stavu po"), StatusRefreshIntervalSpinEdit, QStringLiteral("minutách.")));
    layout->addWidget(EasyMouseCheckBox);
    layout->addStretch();
    return page;
}

QWidget* TSettingsForm::CreateAboutPage() {
    auto* page = new QWidget;
    VersionLabel = new QLabel(QStringLiteral("Cvrlik klient v. "), page);
    QFont bold = VersionLabel->font();
    bold.setBold(true);
    VersionLabel->setFont(bold);
    auto* logo = new QLabel(page);
    logo->setPixmap(PicturePixmap(QStringLiteral("logo"), QSize(115, 34)));
    logo->setStyleSheet(QStringLiteral("background: black; padding: 4px;"));
    logo->setAlignment(Qt::AlignCenter);
    AboutText = new QTextBrowser(page);
    AboutText->setOpenLinks(false);
    AboutText->setPlainText(
        QStringLiteral("Cvrlik je malý klient, který běží vedle webového prohlížeče a hlídá za vás chat Klabos.\n\n"
                       "Přihlásí se na pozadí, ukazuje, kdo z vašich známých je právě na chatu, v jaké místnosti "
                       "a jak dlouho nic nenapsal, ohlásí příchod sledovaných uživatelů, upozorní vás, než vás chat "
                       "vyhodí pro nečinnost, a schovává vzkazy, které vám ostatní nechali, dokud si je nepřečtete.\n\n"
                       "Seznam sledovaných uživatelů a komentáře k nim upravíte na stránce Uživatelé, přihlašovací "
                       "údaje a proxy server na stránce Server a Proxy."));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(logo);
    layout->addWidget(VersionLabel, 0, Qt::AlignHCenter);
    layout->addWidget(AboutText);
    return page;
}

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

void TSettingsForm::LoadServerSettings() {
    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(ProductKey, true);
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
    store.CloseKey();
    store.OpenKey(NickListKey, true);
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
    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(ProductKey, true);
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
    Loading = false;
}

quint16 TSettingsForm::ProxyPortFromEdit() const {
    // Only a real port is stored: text that is not a number, or a number outside 1..65535, stores "no port"
    // rather than some other port cut to 16 bits.
    bool isNumber = false;
    const int port = ProxyPortEdit->text().trimmed().toInt(&isNumber);
    return isNumber && port >= 1 && port <= 65535 ? static_cast<quint16>(port) : 0;
}

void TSettingsForm::OKButtonClick() {
    if (!SaveReportingFailure()) {
        return;
    }
    // The close may still be refused by a pending comment edit; the settings stay saved then.
    accept();
}

void TSettingsForm::CancelButtonClick() {
    reject();
}

void TSettingsForm::ApplyButtonClick() {
    SaveReportingFailure();
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
    if (LoginNameEdit->text() != Settings.LoginName) {
        Q_EMIT LoginNameChanged();
    }
    SaveServerValues();
    SaveNickList();
    SaveCommonValues();
    ApplyButton->setEnabled(false);
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
        store.OpenKey(NickListKey, true);
    }
    for (int index = 0; index < UserCheckListBox->Count(); ++index) {
        store.WriteBool(UserCheckListBox->NickAt(index), UserCheckListBox->FlagAt(index));
    }
    store.CloseKey();
}

void TSettingsForm::AddOrUpdateUser(const QString& nick, const QString& comment, bool notify) {
    if (nick.isEmpty()) {
        return;
    }
    int index = UserCheckListBox->IndexOfNick(nick);
    const bool isNew = index < 0;
    {
        // The program's own changes of the list are not the user's selection: the re-sort moves the selected
        // entry, which must not reach the selection handler (and its comment question) in the middle of the add.
        const QSignalBlocker quiet(UserCheckListBox);
        if (isNew) {
            // The new entry is flagged at the end of the list, then moves to its sorted place with its flag.
            UserCheckListBox->SetSortingSuspended(true);
            index = UserCheckListBox->AddNick(nick);
            UserCheckListBox->SetFlag(index, notify);
            UserCheckListBox->SetSortingSuspended(false);
            index = UserCheckListBox->IndexOfNick(nick);
        } else {
            UserCheckListBox->SetFlag(index, notify);
        }
        UserCheckListBox->setCurrentRow(index);
    }

    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(NickCommentsKey, true);
    QString text = comment;
    if (isNew) {
        // A comment kept from an earlier removal of the nick stays below the new one.
        ReadOrKeep([&] {
            if (store.ValueExists(nick)) {
                text += QStringLiteral("\r\n\r\n*** Původní informace ***\r\n") + store.ReadString(nick);
            }
        });
    }
    CommentChanged = false;
    store.WriteString(nick, text);
    store.CloseKey();
    SaveNickList();
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

// ---- Opening and closing ----

void TSettingsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TSettingsForm::FormShow() {
    CommentFocused = false;
    CommentChanged = false;
    ShowServerSettings();
    LoadNickList();
    ShowCommonSettings();
    OKButton->setDefault(true);
    OKButton->setFocus();
    // Filling the controls ran their change handlers; nothing has been changed by the user yet.
    ApplyButton->setEnabled(false);
}

void TSettingsForm::done(int result) {
    if (!FormCloseQuery()) {
        return;
    }
    QDialog::done(result);
}

bool TSettingsForm::FormCloseQuery() {
    return ConfirmCommentChange();
}

bool TSettingsForm::FormKeyPress(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier) {
        return false;
    }
    CancelButtonClick();
    return true;
}

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == UserCheckListBox && UserCheckListBoxKeyDown(key)) {
            return true;
        }
        if (watched == NickEdit && NickEditKeyDown(key)) {
            return true;
        }
        if (watched == NotifyComboBox && NotifyComboBoxKeyDown(key)) {
            return true;
        }
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this && FormKeyPress(key)) {
            return true;
        }
        break;
    }
    case QEvent::FocusIn:
        if (watched == CommentEdit) {
            CommentEditEnter();
        }
        break;
    case QEvent::FocusOut: {
        if (watched == CommentEdit) {
            CommentEditExit();
        }
        // Leaving the field for another control of the dialog; the dialog losing the active window is no exit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool leftForAnotherControl =
            reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible();
        if ((watched == ProxyPortEdit || watched == ProxyPasswordEdit) && leftForAnotherControl) {
            ProxyPortEditExit();
        }
        break;
    }
    case QEvent::MouseButtonPress:
        if (watched == UserCheckListBox->viewport()) {
            PressChangedSelection = false;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
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

// ---- Users page ----

void TSettingsForm::ConnectUsersPage() {
    // A selection by mouse or keys; tabbing into the list only moves its cursor to the first entry, which selects
    // nothing.
    connect(UserCheckListBox, &QListWidget::itemSelectionChanged, this, [this] {
        PressChangedSelection = true;
        const QListWidgetItem* current = UserCheckListBox->currentItem();
        if (current != nullptr && current->isSelected()) {
            UserCheckListBoxClick();
        }
    });
    // A click on the entry that is already selected shows it again.
    connect(UserCheckListBox, &QListWidget::itemClicked, this, [this] {
        if (!PressChangedSelection) {
            UserCheckListBoxClick();
        }
    });
    connect(UserCheckListBox, &QListWidget::itemChanged, this, &TSettingsForm::UserCheckListBoxClickCheck);
    connect(AddUserBtn, &QPushButton::clicked, this, &TSettingsForm::AddUserBtnClick);
    connect(RemoveUserBtn, &QPushButton::clicked, this, &TSettingsForm::RemoveUserBtnClick);
    connect(NickEdit, &QLineEdit::textEdited, this, &TSettingsForm::NickEditChange);
    connect(NotifyComboBox, &QComboBox::activated, this, &TSettingsForm::NotifyComboBoxChange);
    connect(CommentEdit, &QPlainTextEdit::textChanged, this, &TSettingsForm::CommentEditChange);
}

void TSettingsForm::SelectQuietly(int index) {
    const QSignalBlocker quiet(UserCheckListBox);
    UserCheckListBox->setCurrentRow(index);
    if (index < 0) {
        UserCheckListBox->clearSelection();
    }
}

void TSettingsForm::UserCheckListBoxClick() {
    const int clicked = UserCheckListBox->currentRow();
    if (clicked < 0) {
        return;
    }
    const bool sameEntry = clicked == SelectedIndex;
    if (!sameEntry) {
        const QString clickedNick = UserCheckListBox->NickAt(clicked);
        if (!ConfirmCommentChange()) {
            SelectQuietly(SelectedIndex);
            return;
        }
        // The prompt's Yes may have listed a new nick and moved the entries.
        SelectedIndex = UserCheckListBox->IndexOfNick(clickedNick);
        SelectQuietly(SelectedIndex);
    }
    // Clicking the entry already shown keeps a comment edit in progress rather than dropping it unasked.
    ShowEntry(SelectedIndex, !(sameEntry && CommentChanged));
    RemoveUserBtn->setEnabled(true);
}

void TSettingsForm::ShowEntry(int index, bool withComment) {
    const QString nick = UserCheckListBox->NickAt(index);
    NickEdit->setText(nick);
    NotifyComboBox->setCurrentIndex(UserCheckListBox->FlagAt(index) ? 0 : 1);
    if (!withComment) {
        return;
    }
    TSysReg& store = SysReg();
    ReadOrKeep([&] {
        store.CloseKey();
        store.OpenKey(NickCommentsKey, true);
        if (store.ValueExists(nick)) {
            CommentEdit->setPlainText(CommentForEdit(store.ReadString(nick)));
        } else {
            CommentEdit->setPlainText(
                nick +
                QStringLiteral(" je můj známý/moje známá z Klabka. Časem si sem o něm/ní určitě něco poznamenám."));
        }
    });
    CloseAfterLoad();
}

void TSettingsForm::UserCheckListBoxClickCheck(QListWidgetItem* entry) {
    // Only the user's toggle of the selected entry shows in the combo.
    if (entry == nullptr || entry != UserCheckListBox->currentItem()) {
        return;
    }
    NotifyComboBox->setCurrentIndex(entry->checkState() == Qt::Checked ? 0 : 1);
}

bool TSettingsForm::UserCheckListBoxKeyDown(QKeyEvent* event) {
    if (event->key() != Qt::Key_Delete) {
        return false;
    }
    RemoveUserBtnClick();
    return true;
}

bool TSettingsForm::NickEditKeyDown(QKeyEvent* event) {
    if (event->key() != Qt::Key_Insert) {
        return false;
    }
    AddUserBtnClick();
    return true;
}

bool TSettingsForm::NotifyComboBoxKeyDown(QKeyEvent* event) {
    return NickEditKeyDown(event);
}

void TSettingsForm::NickEditChange() {
    if (NotifyComboBox->currentIndex() < 0) {
        NotifyComboBox->setCurrentIndex(1); // "NE"
    }
    // Only points at the matching entry: its flag and comment are not loaded.
    SelectQuietly(UserCheckListBox->IndexOfNick(NickEdit->text()));
}

void TSettingsForm::NotifyComboBoxChange() {
    const int index = UserCheckListBox->IndexOfNick(NickEdit->text());
    if (index >= 0) {
        UserCheckListBox->SetFlag(index, NotifyComboBox->currentIndex() == 0);
    }
}

void TSettingsForm::AddUserBtnClick() {
    const QString nick = NickEdit->text();
    if (nick.isEmpty()) {
        return;
    }
    TApplication::RunReportingFailure([&] {
        AddOrUpdateUser(nick, CommentForStore(CommentEdit->toPlainText()), NotifyComboBox->currentIndex() == 0);
    });
    // The added entry is the one now shown, so a click on it is no change of entry.
    SelectedIndex = UserCheckListBox->currentRow();
}

void TSettingsForm::RemoveUserBtnClick() {
    QListWidgetItem* selected = UserCheckListBox->currentItem();
    if (selected == nullptr || !selected->isSelected()) {
        return;
    }
    const QString nick = selected->text();
    TDelUserForm confirmation(this);
    confirmation.Nick = nick;
    if (TModal::ExecDialog(confirmation) != QDialog::Accepted) {
        return;
    }
    const bool commentToo = confirmation.CommentTooCheckBox->isChecked();
    TApplication::RunReportingFailure([&] {
        if (commentToo) {
            TSysReg& store = SysReg();
            store.CloseKey();
            store.OpenKey(NickCommentsKey, true);
            store.DeleteValue(nick);
            store.CloseKey();
        }
        {
            const QSignalBlocker quiet(UserCheckListBox);
            UserCheckListBox->RemoveAt(UserCheckListBox->IndexOfNick(nick));
        }
        // Nothing is selected after a removal; the positions after it have moved, so no entry is "the one shown".
        SelectQuietly(-1);
        SelectedIndex = -1;
        RemoveUserBtn->setEnabled(false);
        SaveNickList();
    });
}

void TSettingsForm::CommentEditChange() {
    if (CommentFocused) {
        CommentChanged = true;
    }
}

void TSettingsForm::CommentEditEnter() {
    CommentFocused = true;
}

void TSettingsForm::CommentEditExit() {
    CommentFocused = false;
}

bool TSettingsForm::ConfirmCommentChange() {
    if (!CommentChanged) {
        return true;
    }
    PageControl->setCurrentWidget(UserTabSheet);
    const QMessageBox::StandardButton answer = TModal::MessageBox(
        this, QStringLiteral("Byla provedena změna"), QStringLiteral("Chcete uložit změnu komentáře?"),
        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    switch (answer) {
    case QMessageBox::Yes:
        AddUserBtnClick();
        CommentChanged = false;
        return true;
    case QMessageBox::No:
        CommentChanged = false;
        return true;
    default:
        return false;
    }
}
