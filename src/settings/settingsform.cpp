#include "settings/settingsform.h"

#include "settings/userchecklistbox.h"
#include "widgets/pictures.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

// The dialog's frame: its creation, its buttons, opening and closing, and the keys it sees first. The pages are
// built in settingsformpages.cpp, loaded and saved in settingsformstore.cpp; the handlers of the Server and
// General pages are in settingsformfields.cpp, those of the Users page in settingsformusers.cpp.

namespace {

constexpr QSize ClientSize(352, 436);

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
    // A part the start could not read is read now, before anything of it can be saved.
    if (ServerSettingsUnread) {
        LoadServerSettings();
    }
    ShowServerSettings();
    LoadNickList();
    if (CommonSettingsUnread) {
        LoadCommonSettings();
    }
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
