#pragma once

#include "store/settings.h"
#include "widgets/spinedit.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTextBrowser;
class QListWidgetItem;
class QKeyEvent;
class TUserCheckListBox;

// The settings dialog. It is created once at start (which loads every setting and the watched-user list from the
// store into `Settings` and `UserCheckListBox`), stays hidden between uses and lives until the program ends.
// Its controls are public: other windows read the watched-user list through `UserCheckListBox` and untick
// `AlwaysReconnectCheckBox` when they switch `AlwaysReconnect` off.
class TSettingsForm : public QDialog {
    Q_OBJECT
public:
    // `mainWindow` gets the stay-on-top style of `AlwaysOnTop` when the settings load; it also owns the dialog,
    // so the dialog stays above it.
    explicit TSettingsForm(QWidget* mainWindow);

    // Loading (at creation; the watched-user list, and a part that could not be read, again at every opening).
    void LoadServerSettings();
    void LoadNickList();
    void LoadCommonSettings();
    // The settings save of OK and Apply. A failed store write is not caught: it skips the rest of the save and
    // reaches the general error report.
    void SaveSettings();
    // Rewrites the "Nick List" key from `UserCheckListBox`, all of it in one store transaction.
    void SaveNickList();

    // A load that cannot open its key (the store held by another process past the wait, an I/O error) keeps the
    // defaults and leaves its part unread. The saves of an unread part throw instead of writing, so the defaults
    // never replace the settings or the list the store holds; opening the dialog reads an unread part again.
    bool SettingsUnread() const;
    // Why the last load that failed could not open its key, in Czech.
    QString UnreadReason() const { return UnreadReasonText; }

    // Lists the nick (or takes the listed entry, which keeps its letter case), sets its notify flag, selects it,
    // stores the comment (below it the comment kept from an earlier removal, when the nick is new) and saves the
    // list. Nothing happens for an empty nick.
    void AddOrUpdateUser(const QString& nick, const QString& comment, bool notify);
    // The same on the program's behalf (the sender of an incoming message), which may come while the user edits on
    // the Users page: the entry shown stays selected and a comment edit stays pending, so the question still comes
    // before the typed text could be lost.
    void AddOrUpdateUserKeepingEdit(const QString& nick, const QString& comment, bool notify);
    // Takes the nick off the watched-user list (with its stored comment when asked) and saves the list. False when
    // the nick is no longer listed (the list may change while a question is open). A failed store write throws.
    bool RemoveWatchedUser(const QString& nick, bool commentToo);

    // Put the values of `Settings` into the controls of the Server and General pages.
    void ShowServerSettings();
    void ShowCommonSettings();
    // The proxy port field as the save stores it: 0 unless it holds a number from 1 to 65535.
    quint16 ProxyPortFromEdit() const;

    // Asks about a pending comment edit on the Users page: true to go on (stored or dropped), false to stay.
    bool ConfirmCommentChange();
    // Allows the dialog to close exactly when ConfirmCommentChange does.
    bool FormCloseQuery();

    // Page control and pages.
    QTabWidget* PageControl = nullptr;
    QWidget* ServerTabSheet = nullptr;
    QWidget* UserTabSheet = nullptr;
    QWidget* CommonTabSheet = nullptr;
    QWidget* AboutTabSheet = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* ApplyButton = nullptr;

    // Server page.
    QLineEdit* LoginNameEdit = nullptr;
    QLineEdit* LoginPasswordEdit = nullptr;
    QCheckBox* RememberPasswordCheckBox = nullptr;
    QLineEdit* KlabosServerEdit = nullptr;
    QCheckBox* UseProxyCheckBox = nullptr;
    QLabel* ProxyServerLabel = nullptr;
    QLineEdit* ProxyServerEdit = nullptr;
    QLabel* ProxyPortLabel = nullptr;
    QLineEdit* ProxyPortEdit = nullptr;
    QCheckBox* UseProxyAuthCheckBox = nullptr;
    QLabel* ProxyNameLabel = nullptr;
    QLineEdit* ProxyNameEdit = nullptr;
    QLabel* ProxyPasswordLabel = nullptr;
    QLineEdit* ProxyPasswordEdit = nullptr;

    // Users page.
    TUserCheckListBox* UserCheckListBox = nullptr;
    QPushButton* AddUserBtn = nullptr;
    QPushButton* RemoveUserBtn = nullptr;
    QLineEdit* NickEdit = nullptr;
    QComboBox* NotifyComboBox = nullptr;
    QPlainTextEdit* CommentEdit = nullptr;

    // General page.
    QCheckBox* AutoConnectCheckBox = nullptr;
    QCheckBox* DisplayOnStartCheckBox = nullptr;
    QCheckBox* AlwaysOnTopCheckBox = nullptr;
    QCheckBox* ReportErrorsCheckBox = nullptr;
    QCheckBox* AlwaysReconnectCheckBox = nullptr;
    QPushButton* NetDetectButton = nullptr;
    TSpinEdit* NotifyDivisorSpinEdit = nullptr;
    QCheckBox* NewOnlyCheckBox = nullptr;
    TSpinEdit* NotifyWaitSpinEdit = nullptr;
    QCheckBox* SuspendCheckBox = nullptr;
    QCheckBox* AboutToKickCheckBox = nullptr;
    TSpinEdit* AboutToKickTimeSpinEdit = nullptr;
    TSpinEdit* RefreshIntervalSpinEdit = nullptr;
    TSpinEdit* StatusRefreshIntervalSpinEdit = nullptr;
    QCheckBox* EasyMouseCheckBox = nullptr;
    // Shows and sets whether the login entry starts the program (autostartentry.h); the file, not the store, holds it.
    QCheckBox* StartAtLoginCheckBox = nullptr;

    // About page.
    QLabel* VersionLabel = nullptr;
    QTextBrowser* AboutText = nullptr;

    // The Users page's state: the position last accepted as selected (-1 after every load of the list), and
    // whether the comment field was edited or has the focus.
    int SelectedIndex = -1;
    bool CommentChanged = false;
    bool CommentFocused = false;
    // Set while ShowCommonSettings fills the General page.
    bool Loading = false;

Q_SIGNALS:
    // The save found a login name other than the one in `Settings`: the session key no longer fits it.
    void LoginNameChanged();
    // The values of the General page took effect (the refresh intervals, the reconnect, ...).
    void SettingsApplied();

public Q_SLOTS:
    void OKButtonClick();
    void ApplyButtonClick();
    void CancelButtonClick();
    void EnableApply();

    // Server page.
    void LoginNameEditChange();
    void LoginPasswordEditChange();
    void RememberPasswordCheckBoxClick();
    void UseProxyCheckBoxClick();
    void UseProxyAuthCheckBoxClick();
    void ProxyServerEditChange();
    void ProxyPortEditChange();
    void ProxyNameEditChange();
    void ProxyPasswordEditChange();
    // Empties the port field and says so when it does not hold a port from 1 to 65535.
    void ProxyPortEditExit();

    // General page.
    void AutoConnectCheckBoxClick();
    void DisplayOnStartCheckBoxClick();
    void ReportErrorsCheckBoxClick();
    void AlwaysReconnectCheckBoxClick();
    void SuspendCheckBoxClick();
    void AboutToKickCheckBoxClick();
    void NewOnlyCheckBoxClick();
    void AlwaysOnTopCheckBoxClick();
    void RefreshIntervalSpinEditChange();
    void StatusRefreshIntervalSpinEditChange();
    void NotifyDivisorSpinEditChange();
    void NotifyWaitSpinEditChange();
    void AboutToKickTimeSpinEditChange();
    void NetDetectButtonClick();
    void StartAtLoginCheckBoxClick();

    // Users page.
    void UserCheckListBoxClick();
    void UserCheckListBoxClickCheck(QListWidgetItem* entry);
    void AddUserBtnClick();
    void RemoveUserBtnClick();
    void NickEditChange();
    void NotifyComboBoxChange();
    void CommentEditChange();
    void CommentEditEnter();
    void CommentEditExit();

public:
    // Every close (OK, "Zrušit", Escape, the close box) asks FormCloseQuery first.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    // Sees the keys of every control before the control does (Escape, Insert, Delete), and the focus changes
    // that the port check and the comment tracking follow.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    bool FormKeyPress(QKeyEvent* event);
    bool UserCheckListBoxKeyDown(QKeyEvent* event);
    bool NickEditKeyDown(QKeyEvent* event);
    bool NotifyComboBoxKeyDown(QKeyEvent* event);
    void ConnectChangeTracking();
    void ConnectUsersPage();
    // Selects the position (-1: none) without it counting as the user's selection.
    void SelectQuietly(int index);
    // Puts the entry at the position into the editing fields; the comment only when `withComment`.
    void ShowEntry(int index, bool withComment);
    QWidget* CreateServerPage();
    QWidget* CreateUserPage();
    QWidget* CreateCommonPage();
    QWidget* CreateAboutPage();
    void SetSpinEditRanges();
    // The end of every load of the watched-user list: nothing selected, the editing fields empty.
    void ResetUsersPage();
    // Runs the save; a failure goes to the general error report and gives false.
    bool SaveReportingFailure();
    void SaveServerValues();
    void SaveCommonValues();
    // Writes or removes the login entry as the box says; a failure is told in a box of its own, and the box then
    // shows the entry as it is.
    void SaveStartAtLogin();
    // Opens the key for a load; false (the reason kept) when the store could not be reached.
    bool OpenForLoad(const QString& key);

    QWidget* MainWindow;
    // The mouse press now being handled changed the selection, so the click that ends it has been handled.
    bool PressChangedSelection = false;
    // The port message is up: the focus it takes from the dialog is no reason to check again.
    bool CheckingPort = false;
    bool ServerSettingsUnread = false;
    bool CommonSettingsUnread = false;
    bool NickListUnread = false;
    QString UnreadReasonText;
};
