#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/encrypt.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "testhelpers.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/modal.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class TestSettingsForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> TestStore;
    QWidget MainWindow;

    std::unique_ptr<TSettingsForm> CreateForm() { return std::make_unique<TSettingsForm>(&MainWindow); }

private Q_SLOTS:
    void init() {
        TestStore = std::make_unique<TTestStore>();
        QVERIFY(TestStore->IsValid());
    }
    void cleanup() { TestStore.reset(); }

    void firstStartLoadsDefaults() {
        auto form = CreateForm();
        QCOMPARE(Settings.SessionRefresh, 120);
        QCOMPARE(Settings.StatusRefresh, 10);
        QCOMPARE(Settings.NotifyDivisor, 1);
        QCOMPARE(Settings.NotifyWait, 1500);
        QCOMPARE(Settings.AboutToKickWarningTime, 10);
        QVERIFY(Settings.DisplayOnStart && Settings.ReportNetworkErrors && Settings.NotifyNewUsersOnly &&
                Settings.EasyMouseMode);
        QVERIFY(!Settings.AutoConnectOnStartup && !Settings.AlwaysReconnect && !Settings.AlwaysOnTop &&
                !Settings.AboutToKickWarning && !Settings.RememberPassword && !Settings.UsingProxy &&
                !Settings.UsingProxyAuthentization && !Settings.SuspendNotifications);
        QVERIFY(Settings.LoginName.isEmpty() && Settings.LoginPassword.isEmpty() && Settings.ProxyServer.isEmpty());
        QCOMPARE(Settings.ProxyPort, quint16(0));
        QCOMPARE(form->UserCheckListBox->Count(), 0);
        // The keys the load visited exist afterwards, empty.
        const QStringList keys = SysReg().GetKeyPaths();
        QVERIFY(keys.contains(ProductKey));
        QVERIFY(keys.contains(NickListKey));
        QVERIFY(StoredNames(ProductKey).isEmpty());
        // The controls show what was loaded.
        QCOMPARE(form->RefreshIntervalSpinEdit->value(), 120);
        QCOMPARE(form->NotifyWaitSpinEdit->value(), 1500);
        QVERIFY(form->DisplayOnStartCheckBox->isChecked());
        QVERIFY(form->ProxyPortEdit->text().isEmpty());
        QVERIFY(!form->ApplyButton->isEnabled());
        QCOMPARE(form->PageControl->currentWidget(), form->AboutTabSheet);
        QCOMPARE(form->VersionLabel->text(), QStringLiteral("Cvrlik klient v. 1.81"));
    }

    // Another process kept the store from being read while the dialog loaded; it is free again. A save of what the
    // load could not read is refused until opening the dialog has read it, and goes through after that.
    void unreadPartIsSavedOnlyAfterALaterRead_data() {
        QTest::addColumn<QString>("save");
        QTest::newRow("settings saved") << u"settings"_qs;
        QTest::newRow("watched user added") << u"add"_qs;
    }
    void unreadPartIsSavedOnlyAfterALaterRead() {
        QFETCH(QString, save);
        TSysReg& store = SysReg();
        {
            TSysReg before(store.Folder());
            QVERIFY(before.OpenKey(ProductKey, true));
            before.WriteInteger(u"SessionRefresh"_qs, 60);
            before.WriteString(u"LoginName"_qs, u"alice"_qs);
            QVERIFY(before.OpenKey(NickListKey, true));
            before.WriteBool(u"bob"_qs, true);
            before.CloseKey();
        }

        std::unique_ptr<TSettingsForm> form;
        {
            const TExclusiveHolder holder(store.DatabasePath());
            QVERIFY(holder.IsHeld());
            form = CreateForm();
        }
        QVERIFY(form->SettingsUnread());
        QCOMPARE(Settings.SessionRefresh, 120);
        QCOMPARE(form->UserCheckListBox->Count(), 0);
        const auto saveOnce = [&] {
            if (save == u"settings"_qs) {
                form->SaveSettings();
            } else {
                form->AddOrUpdateUser(u"dave"_qs, QString(), true);
            }
        };
        QVERIFY_THROWS_EXCEPTION(ESysRegError, saveOnce());
        QVERIFY(store.OpenKey(ProductKey, false));
        QCOMPARE(store.ReadInteger(u"SessionRefresh"_qs), 60);
        QCOMPARE(store.ReadString(u"LoginName"_qs), u"alice"_qs);
        store.CloseKey();
        QCOMPARE(StoredNames(NickListKey), QStringList{u"bob"_qs});

        form->show(); // opening the dialog reads again
        QVERIFY(!form->SettingsUnread());
        QCOMPARE(Settings.SessionRefresh, 60);
        QCOMPARE(form->LoginNameEdit->text(), u"alice"_qs);
        saveOnce();
        form->hide();
        QVERIFY(StoredNames(NickListKey).contains(u"bob"_qs));
    }

    void integersOutsideTheirRangeLoadTheDefault_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<TStoredValue>("stored");
        QTest::addColumn<int>("loaded");
        const auto row = [](const char* label, const char* name, TStoredValue stored, int loaded) {
            QTest::newRow(label) << QString::fromLatin1(name) << stored << loaded;
        };
        row("refresh below range", "SessionRefresh", 19, 120);
        row("refresh at lower edge", "SessionRefresh", 20, 20);
        row("refresh at upper edge", "SessionRefresh", 500, 500);
        row("refresh above range", "SessionRefresh", 501, 120);
        row("refresh stored as text", "SessionRefresh", u"60"_qs, 120);
        row("status zero", "StatusRefresh", 0, 10);
        row("status at edges", "StatusRefresh", 90, 90);
        row("status above range", "StatusRefresh", 91, 10);
        row("divisor zero", "NotifyDivisor", 0, 1);
        row("divisor above range", "NotifyDivisor", 101, 1);
        row("divisor at upper edge", "NotifyDivisor", 100, 100);
        row("wait below range", "NotifyWait", 299, 1500);
        row("wait above range", "NotifyWait", 10000, 1500);
        row("wait at lower edge", "NotifyWait", 300, 300);
        row("kick time zero", "AboutToKickWarningTime", 0, 10);
        row("kick time above range", "AboutToKickWarningTime", 21, 10);
        row("kick time negative", "AboutToKickWarningTime", -5, 10);
        row("kick time at upper edge", "AboutToKickWarningTime", 20, 20);
    }
    void integersOutsideTheirRangeLoadTheDefault() {
        QFETCH(QString, name);
        QFETCH(TStoredValue, stored);
        QFETCH(int, loaded);
        Store(ProductKey, name, stored);
        auto form = CreateForm();
        const QHash<QString, int> values{{u"SessionRefresh"_qs, Settings.SessionRefresh},
                                         {u"StatusRefresh"_qs, Settings.StatusRefresh},
                                         {u"NotifyDivisor"_qs, Settings.NotifyDivisor},
                                         {u"NotifyWait"_qs, Settings.NotifyWait},
                                         {u"AboutToKickWarningTime"_qs, Settings.AboutToKickWarningTime}};
        QCOMPARE(values.value(name), loaded);
    }

    void flagsLoadNonZeroAsTrueAndTextAsDefault_data() {
        QTest::addColumn<TStoredValue>("stored");
        QTest::addColumn<bool>("displayOnStart");
        QTest::addColumn<bool>("autoConnect");
        QTest::newRow("missing") << TStoredValue{} << true << false;
        QTest::newRow("zero") << TStoredValue{0} << false << false;
        QTest::newRow("one") << TStoredValue{1} << true << true;
        QTest::newRow("any other number") << TStoredValue{-7} << true << true;
        QTest::newRow("text") << TStoredValue{u"1"_qs} << true << false;
    }
    void flagsLoadNonZeroAsTrueAndTextAsDefault() {
        QFETCH(TStoredValue, stored);
        QFETCH(bool, displayOnStart);
        QFETCH(bool, autoConnect);
        Store(ProductKey, u"DisplayOnStart"_qs, stored);
        Store(ProductKey, u"AutoConnectOnStartup"_qs, stored);
        auto form = CreateForm();
        QCOMPARE(Settings.DisplayOnStart, displayOnStart);
        QCOMPARE(Settings.AutoConnectOnStartup, autoConnect);
    }

    void serverValuesLoad_data() {
        QTest::addColumn<TStoredValue>("password");
        QTest::addColumn<TStoredValue>("port");
        QTest::addColumn<QString>("plainPassword");
        QTest::addColumn<int>("loadedPort");
        QTest::addColumn<QString>("portField");
        QTest::newRow("scrambled password and a port") << TStoredValue{ScrambleText(u"tajné heslo"_qs)}
                                                       << TStoredValue{3128} << u"tajné heslo"_qs << 3128 << u"3128"_qs;
        QTest::newRow("password failing its check")
            << TStoredValue{u"abcd"_qs} << TStoredValue{0} << QString() << 0 << QString();
        QTest::newRow("one character password")
            << TStoredValue{u"x"_qs} << TStoredValue{} << QString() << 0 << QString();
        QTest::newRow("port keeps its low 16 bits")
            << TStoredValue{} << TStoredValue{70000} << QString() << 4464 << u"4464"_qs;
        QTest::newRow("port stored as text")
            << TStoredValue{} << TStoredValue{u"8080"_qs} << QString() << 0 << QString();
    }
    void serverValuesLoad() {
        QFETCH(TStoredValue, password);
        QFETCH(TStoredValue, port);
        QFETCH(QString, plainPassword);
        QFETCH(int, loadedPort);
        QFETCH(QString, portField);
        Store(ProductKey, u"LoginName"_qs, u"Pepík"_qs);
        Store(ProductKey, u"LoginPassword"_qs, password);
        Store(ProductKey, u"ProxyPort"_qs, port);
        auto form = CreateForm();
        QCOMPARE(Settings.LoginName, u"Pepík"_qs);
        QCOMPARE(Settings.LoginPassword, plainPassword);
        QCOMPARE(int(Settings.ProxyPort), loadedPort);
        QCOMPARE(form->ProxyPortEdit->text(), portField);
        QCOMPARE(form->LoginPasswordEdit->text(), plainPassword);
    }

    void stayOnTopFollowsTheSetting_data() {
        QTest::addColumn<TStoredValue>("stored");
        QTest::addColumn<bool>("onTop");
        QTest::newRow("missing means normal") << TStoredValue{} << false;
        QTest::newRow("on") << TStoredValue{1} << true;
        QTest::newRow("off") << TStoredValue{0} << false;
    }
    void stayOnTopFollowsTheSetting() {
        QFETCH(TStoredValue, stored);
        QFETCH(bool, onTop);
        MainWindow.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        Store(ProductKey, u"AlwaysOnTop"_qs, stored);
        auto form = CreateForm();
        QCOMPARE(MainWindow.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    }

    void nickListStopsReadingFlagsAtTheFirstFailure_data() {
        QTest::addColumn<QList<TStoredValue>>("flags"); // for the nicks "cyril", "Adam", "bara", in that order
        QTest::addColumn<QList<bool>>("loaded");        // for the listed order Adam, bara, cyril
        QTest::newRow("all numbers") << QList<TStoredValue>{1, 0, 5} << QList<bool>{false, true, true};
        QTest::newRow("text in the middle of the list")
            << QList<TStoredValue>{1, 1, u"ano"_qs} << QList<bool>{true, false, false};
        QTest::newRow("text at the first entry")
            << QList<TStoredValue>{1, u"1"_qs, 1} << QList<bool>{false, false, false};
        QTest::newRow("text at the last entry") << QList<TStoredValue>{u"x"_qs, 1, 1} << QList<bool>{true, true, false};
    }
    void nickListStopsReadingFlagsAtTheFirstFailure() {
        QFETCH(QList<TStoredValue>, flags);
        QFETCH(QList<bool>, loaded);
        const QStringList nicks{u"cyril"_qs, u"Adam"_qs, u"bara"_qs};
        for (int index = 0; index < nicks.size(); ++index) {
            Store(NickListKey, nicks[index], flags[index]);
        }
        auto form = CreateForm();
        const TUserCheckListBox* list = form->UserCheckListBox;
        QCOMPARE(list->Nicks(), (QStringList{u"Adam"_qs, u"bara"_qs, u"cyril"_qs}));
        for (int index = 0; index < loaded.size(); ++index) {
            QCOMPARE(list->FlagAt(index), loaded[index]);
        }
        QCOMPARE(form->SelectedIndex, -1);
        QVERIFY(!form->RemoveUserBtn->isEnabled());
    }

    void saveWritesEveryValueInOrder_data() {
        QTest::addColumn<bool>("remember");
        QTest::newRow("password remembered") << true;
        QTest::newRow("password not remembered") << false;
    }
    void saveWritesEveryValueInOrder() {
        QFETCH(bool, remember);
        auto form = CreateForm();
        form->LoginNameEdit->setText(u"Pepík"_qs);
        form->LoginPasswordEdit->setText(u"heslo"_qs);
        form->RememberPasswordCheckBox->setChecked(remember);
        form->ProxyPasswordEdit->setText(u"proxy"_qs);
        form->ProxyPortEdit->setText(u"8080"_qs);
        form->RefreshIntervalSpinEdit->setValue(60);
        form->SuspendCheckBox->setChecked(true);
        form->ApplyButton->setEnabled(true);
        form->SaveSettings();

        // A fresh store enumerates values in the order they were first written.
        QStringList expected{u"UsingProxy"_qs,
                             u"ProxyServer"_qs,
                             u"ProxyPort"_qs,
                             u"UsingProxyAuthentization"_qs,
                             u"ProxyLoginName"_qs,
                             u"ProxyPassword"_qs,
                             u"KlabosServer"_qs,
                             u"LoginName"_qs,
                             u"LoginPassword"_qs,
                             u"RememberPassword"_qs,
                             u"SessionRefresh"_qs,
                             u"StatusRefresh"_qs,
                             u"NotifyDivisor"_qs,
                             u"NotifyWait"_qs,
                             u"AboutToKickWarningTime"_qs,
                             u"AutoConnectOnStartup"_qs,
                             u"DisplayOnStart"_qs,
                             u"ReportNetworkErrors"_qs,
                             u"AlwaysReconnect"_qs,
                             u"AlwaysOnTop"_qs,
                             u"NotifyNewUsersOnly"_qs,
                             u"EasyMouseMode"_qs,
                             u"AboutToKickWarning"_qs};
        if (!remember) {
            expected.removeAll(u"LoginPassword"_qs);
        }
        QCOMPARE(StoredNames(ProductKey), expected);
        QCOMPARE(StoredValue(ProductKey, u"ProxyPort"_qs), TStoredValue{8080});
        QCOMPARE(StoredValue(ProductKey, u"ProxyPassword"_qs), TStoredValue{ScrambleText(u"proxy"_qs)});
        QCOMPARE(StoredValue(ProductKey, u"KlabosServer"_qs), TStoredValue{QString()});
        QCOMPARE(StoredValue(ProductKey, u"SessionRefresh"_qs), TStoredValue{60});
        QCOMPARE(StoredValue(ProductKey, u"RememberPassword"_qs), TStoredValue{remember ? 1 : 0});
        // The typed password serves the rest of the run either way; the suspension is never stored.
        QCOMPARE(Settings.LoginPassword, u"heslo"_qs);
        QVERIFY(Settings.SuspendNotifications);
        QVERIFY(!form->ApplyButton->isEnabled());
    }

    void forgettingThePasswordRemovesItFromTheStore() {
        Store(ProductKey, u"LoginPassword"_qs, ScrambleText(u"staré"_qs));
        Store(ProductKey, u"RememberPassword"_qs, 1);
        auto form = CreateForm();
        QCOMPARE(Settings.LoginPassword, u"staré"_qs);
        form->RememberPasswordCheckBox->setChecked(false);
        form->SaveSettings();
        QVERIFY(!StoredNames(ProductKey).contains(u"LoginPassword"_qs));
        QCOMPARE(Settings.LoginPassword, u"staré"_qs);
    }

    void emptyPasswordIsStoredEmpty() {
        auto form = CreateForm();
        form->SaveSettings();
        QCOMPARE(StoredValue(ProductKey, u"ProxyPassword"_qs), TStoredValue{QString()});
    }

    void onlyARealPortIsStored_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("port");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("lowest") << u"1"_qs << 1;
        QTest::newRow("highest") << u"65535"_qs << 65535;
        QTest::newRow("one too many") << u"65536"_qs << 0;
        QTest::newRow("far too many") << u"70000"_qs << 0;
        QTest::newRow("zero") << u"0"_qs << 0;
        QTest::newRow("negative") << u"-80"_qs << 0;
        QTest::newRow("letters") << u"http"_qs << 0;
        QTest::newRow("blanks around") << u" 3128 "_qs << 3128;
    }
    void onlyARealPortIsStored() {
        QFETCH(QString, typed);
        QFETCH(int, port);
        auto form = CreateForm();
        form->ProxyPortEdit->setText(typed);
        form->SaveSettings();
        QCOMPARE(int(Settings.ProxyPort), port);
        QCOMPARE(StoredValue(ProductKey, u"ProxyPort"_qs), TStoredValue{port});
    }

    void loginNameChangeInvalidatesTheSessionKey_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("invalidated");
        QTest::newRow("same name") << u"Pepík"_qs << false;
        QTest::newRow("other name") << u"Jarka"_qs << true;
        QTest::newRow("letter case only") << u"pepík"_qs << true;
        QTest::newRow("emptied") << QString() << true;
    }
    void loginNameChangeInvalidatesTheSessionKey() {
        QFETCH(QString, typed);
        QFETCH(bool, invalidated);
        Store(ProductKey, u"LoginName"_qs, u"Pepík"_qs);
        auto form = CreateForm();
        QSignalSpy changed(form.get(), &TSettingsForm::LoginNameChanged);
        form->LoginNameEdit->setText(typed);
        form->SaveSettings();
        QCOMPARE(changed.count(), invalidated ? 1 : 0);
        // Saving the same name again never counts as a change.
        form->SaveSettings();
        QCOMPARE(changed.count(), invalidated ? 1 : 0);
    }

    void nickListIsRewrittenWhole() {
        Store(NickListKey, u"Zdena"_qs, 1);
        Store(NickListKey, u"adam"_qs, 0);
        auto form = CreateForm();
        TUserCheckListBox* list = form->UserCheckListBox;
        list->RemoveAt(list->IndexOfNick(u"zdena"_qs));
        list->AddNick(u"Bara"_qs);
        list->SetFlag(list->IndexOfNick(u"bara"_qs), true);
        form->SaveNickList();
        QCOMPARE(StoredNames(NickListKey), (QStringList{u"adam"_qs, u"Bara"_qs}));
        QCOMPARE(StoredValue(NickListKey, u"Bara"_qs), TStoredValue{1});
        QCOMPARE(StoredValue(NickListKey, u"adam"_qs), TStoredValue{0});
        QVERIFY(DesktopCalls().isEmpty());
    }

    void nickListKeyRemovedFromOutsideBeepsOnceAndIsCreatedAnew() {
        auto form = CreateForm();
        form->UserCheckListBox->AddNick(u"adam"_qs);
        form->UserCheckListBox->AddNick(u"bara"_qs);
        QVERIFY(SysReg().DeleteKey(NickListKey));
        form->SaveNickList();
        QCOMPARE(DesktopCalls(), QStringList{u"critical-stop"_qs});
        QCOMPARE(StoredNames(NickListKey), (QStringList{u"adam"_qs, u"bara"_qs}));
        form->SaveNickList();
        QCOMPARE(DesktopCalls().size(), 1);
    }

    void addOrUpdateUser_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<bool>("notify");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("storedComment");
        QTest::newRow("new nick") << u"Cyril"_qs << true << u"Cyril"_qs << u"nový"_qs;
        QTest::newRow("listed nick in other case keeps its spelling")
            << u"ADAM"_qs << false << u"adam"_qs << u"nový"_qs;
        QTest::newRow("removed nick brings its old comment back")
            << u"Zdena"_qs << true << u"Zdena"_qs << u"nový\r\n\r\n*** Původní informace ***\r\nstarý\r\nřádek"_qs;
        QTest::newRow("empty nick changes nothing") << QString() << true << QString() << QString();
    }
    void addOrUpdateUser() {
        QFETCH(QString, nick);
        QFETCH(bool, notify);
        QFETCH(QString, listed);
        QFETCH(QString, storedComment);
        Store(NickListKey, u"adam"_qs, 1);
        Store(NickListKey, u"Bara"_qs, 0);
        Store(NickCommentsKey, u"adam"_qs, u"starý adam"_qs);
        Store(NickCommentsKey, u"zdena"_qs, u"starý\r\nřádek"_qs); // kept after an earlier removal
        auto form = CreateForm();
        form->CommentChanged = true;
        form->AddOrUpdateUser(nick, u"nový"_qs, notify);
        TUserCheckListBox* list = form->UserCheckListBox;
        if (nick.isEmpty()) {
            QCOMPARE(list->Nicks(), (QStringList{u"adam"_qs, u"Bara"_qs}));
            QVERIFY(form->CommentChanged);
            return;
        }
        const int index = list->IndexOfNick(nick);
        QCOMPARE(list->NickAt(index), listed);
        QCOMPARE(list->FlagAt(index), notify);
        QCOMPARE(list->currentRow(), index);
        QVERIFY(!form->CommentChanged);
        QCOMPARE(StoredValue(NickCommentsKey, nick), TStoredValue{storedComment});
        QCOMPARE(StoredNames(NickListKey), list->Nicks());
        QCOMPARE(StoredValue(NickListKey, listed), TStoredValue{qint32(notify)});
    }

    void failedWriteDuringSaveReachesTheGeneralErrorReport() {
        auto form = CreateForm();
        // A store whose folder can never be made: every open fails, so every write throws.
        QFile blocker(TestStore->Folder.filePath(u"not-a-folder"_qs));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TSysReg broken(blocker.fileName() + u"/store"_qs);
        InstallSysReg(&broken);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->LoginNameEdit->setText(u"Jarka"_qs);
        const int reportedBefore = TApplication::ReportedFailures();
        QTest::mouseClick(form->OKButton, Qt::LeftButton);
        InstallSysReg(&TestStore->Registry);

        QCOMPARE(TApplication::ReportedFailures(), reportedBefore + 1);
        QCOMPARE(ShownBoxes().size(), 1);
        QCOMPARE(ShownBoxes().first().Caption, u"Cvrlik"_qs);
        QCOMPARE(ShownBoxes().first().Icon, QMessageBox::Critical);
        // The values copied before the failure stay changed; the rest of the save was skipped.
        QCOMPARE(Settings.LoginName, u"Jarka"_qs);
        QVERIFY(form->isVisible());
    }

    void emptyListThatCannotBeSavedIsAnError() {
        auto form = CreateForm();
        QFile blocker(TestStore->Folder.filePath(u"not-a-folder"_qs));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TSysReg broken(blocker.fileName() + u"/store"_qs);
        InstallSysReg(&broken);
        const auto reinstall = qScopeGuard([this] { InstallSysReg(&TestStore->Registry); });
        // The user removed the last watched nick; the store cannot take the empty list.
        QVERIFY_THROWS_EXCEPTION(ESysRegError, form->SaveNickList());
    }

    void exceptionsOfEveryKindAreReported() {
        QObject thrower;
        const int reportedBefore = TApplication::ReportedFailures();
        QMetaObject::invokeMethod(
            &thrower, [] { throw std::runtime_error("boom"); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            &thrower, [] { throw 42; }, Qt::QueuedConnection);
        QCoreApplication::processEvents();
        QCOMPARE(TApplication::ReportedFailures(), reportedBefore + 2);
        QVERIFY(ShownBoxes().at(0).Text.contains(u"boom"_qs));
        QCOMPARE(ShownBoxes().at(1).Icon, QMessageBox::Critical);
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestSettingsForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsform.moc"
