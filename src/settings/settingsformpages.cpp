#include "settings/settingsform.h"

#include "settings/userchecklistbox.h"
#include "widgets/pictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

// Building the four pages of the dialog.

namespace {

const QMargins GroupMargins(6, 4, 6, 4);

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
    StartAtLoginCheckBox = new QCheckBox(QStringLiteral("Spouštět po přihlášení"), page);

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
    layout->addWidget(StartAtLoginCheckBox);
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
