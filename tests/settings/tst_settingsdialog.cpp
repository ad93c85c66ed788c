// The settings dialog as the user drives it: pages, Apply, the enabling rules, the port check, the number fields,
// the preset button, the always-on-top notice, the start at login and the ways of closing it.

#include "settings/autostartentry.h"
#include "settings/settingsform.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "testhelpers.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/modal.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

using TUserAction = std::function<void(TSettingsForm&)>;
Q_DECLARE_METATYPE(TUserAction)

namespace {

// Clicks into the field and types over its whole text.
void TypeInto(QWidget* field, const QString& text) {
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(6, field->height() / 2));
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(focused, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
        QTest::keyClick(focused, Qt::Key_Delete);
    } else {
        QTest::keyClicks(focused, text);
    }
}

void LeaveWithTab() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

void ShowPage(TSettingsForm& form, QWidget* page) {
    QTabBar* tabs = form.PageControl->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(form.PageControl->indexOf(page)).center());
}

const QString PortCaption = QStringLiteral("Neplatný výběr portu");

// What a desktop says of an entry file: empty when it passes desktop-file-validate (or the tool is missing).
QString DesktopFileComplaint(const QString& path) {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        return {};
    }
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(validator, {path});
    if (!validate.waitForFinished(60000)) {
        return QStringLiteral("desktop-file-validate did not end");
    }
    return validate.exitCode() == 0 ? QString() : QString::fromUtf8(validate.readAll());
}

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> TestStore;
    QWidget MainWindow;
    std::unique_ptr<TSettingsForm> Form;

    // Creates the dialog (which loads the store) and opens it as the main window's button does.
    TSettingsForm& Open() {
        if (!Form) {
            Form = std::make_unique<TSettingsForm>(&MainWindow);
        }
        if (!ShowActive(Form.get())) {
            qWarning("the settings dialog did not become the active window");
        }
        return *Form;
    }

    // Opens the dialog on a page with its proxy and authentication boxes ticked by the user.
    TSettingsForm& OpenProxyFields() {
        TSettingsForm& form = Open();
        ShowPage(form, form.ServerTabSheet);
        ClickBox(form.UseProxyCheckBox);
        ClickBox(form.UseProxyAuthCheckBox);
        return form;
    }

private Q_SLOTS:
    void init() {
        TestStore = std::make_unique<TTestStore>();
        QVERIFY(TestStore->IsValid());
    }
    void cleanup() {
        Form.reset();
        TestStore.reset();
        const QString autostart = TAutostartEntry::DefaultFolder();
        QFile::remove(autostart); // a plain file standing in the folder's way
        QDir(autostart).removeRecursively();
    }

    void firstOpeningShowsAboutThenTheLastPage() {
        TSettingsForm& form = Open();
        QCOMPARE(form.PageControl->currentWidget(), form.AboutTabSheet);
        QVERIFY(form.OKButton->isDefault());
        QCOMPARE(QApplication::focusWidget(), form.OKButton);
        ShowPage(form, form.CommonTabSheet);
        QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
        Open();
        QCOMPARE(form.PageControl->currentWidget(), form.CommonTabSheet);
    }

    void applyFollowsTheUsersChanges_data() {
        QTest::addColumn<TUserAction>("action");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("opening with stored values changes nothing") << TUserAction([](TSettingsForm&) {}) << false;
        QTest::newRow("typing the login name") << TUserAction([](TSettingsForm& form) {
            ShowPage(form, form.ServerTabSheet);
            TypeInto(form.LoginNameEdit, u"Jarka"_qs);
        }) << true;
        QTest::newRow("clicking remember password") << TUserAction([](TSettingsForm& form) {
            ShowPage(form, form.ServerTabSheet);
            ClickBox(form.RememberPasswordCheckBox);
        }) << true;
        QTest::newRow("clicking the proxy box") << TUserAction([](TSettingsForm& form) {
            ShowPage(form, form.ServerTabSheet);
            ClickBox(form.UseProxyCheckBox);
        }) << true;
        QTest::newRow("clicking easy mouse") << TUserAction([](TSettingsForm& form) {
            ShowPage(form, form.CommonTabSheet);
            ClickBox(form.EasyMouseCheckBox);
        }) << true;
        QTest::newRow("stepping the refresh with the arrow key") << TUserAction([](TSettingsForm& form) {
            ShowPage(form, form.CommonTabSheet);
            form.RefreshIntervalSpinEdit->setFocus();
            QTest::keyClick(form.RefreshIntervalSpinEdit, Qt::Key_Up);
        }) << true;
        QTest::newRow("clicking start at login") << TUserAction([](TSettingsForm& form) {
            ShowPage(form, form.CommonTabSheet);
            ClickBox(form.StartAtLoginCheckBox);
        }) << true;
        QTest::newRow("typing on the users page") << TUserAction([](TSettingsForm& form) {
            ShowPage(form, form.UserTabSheet);
            TypeInto(form.NickEdit, u"adam"_qs);
        }) << false;
    }
    void applyFollowsTheUsersChanges() {
        QFETCH(TUserAction, action);
        QFETCH(bool, enabled);
        // Stored values that differ from the defaults: filling the dialog runs every change handler.
        Store(ProductKey, u"UsingProxy"_qs, 1);
        Store(ProductKey, u"ProxyPort"_qs, 3128);
        Store(ProductKey, u"LoginName"_qs, u"Pepík"_qs);
        Store(ProductKey, u"AlwaysOnTop"_qs, 1);
        Store(ProductKey, u"SessionRefresh"_qs, 60);
        TSettingsForm& form = Open();
        QVERIFY(!form.ApplyButton->isEnabled());
        action(form);
        QCOMPARE(form.ApplyButton->isEnabled(), enabled);
        QVERIFY(!ShownCaptions().contains(u"Vždy na vrchu"_qs));
        if (enabled) {
            QTest::mouseClick(form.ApplyButton, Qt::LeftButton);
            QVERIFY(!form.ApplyButton->isEnabled());
            QVERIFY(form.isVisible());
            QCOMPARE(StoredValue(ProductKey, u"LoginName"_qs), TStoredValue{Settings.LoginName});
            QCOMPARE(StoredValue(ProductKey, u"SessionRefresh"_qs), TStoredValue{Settings.SessionRefresh});
        }
    }

    void proxyFieldsFollowTheirBoxes_data() {
        QTest::addColumn<bool>("clickProxy");
        QTest::addColumn<bool>("clickAuth");
        QTest::newRow("neither") << false << false;
        QTest::newRow("proxy only") << true << false;
        QTest::newRow("authentication without proxy") << false << true;
        QTest::newRow("both") << true << true;
    }
    void proxyFieldsFollowTheirBoxes() {
        QFETCH(bool, clickProxy);
        QFETCH(bool, clickAuth);
        TSettingsForm& form = Open();
        ShowPage(form, form.ServerTabSheet);
        if (clickProxy) {
            ClickBox(form.UseProxyCheckBox);
        }
        if (clickAuth) {
            ClickBox(form.UseProxyAuthCheckBox);
        }
        for (QWidget* control :
             {static_cast<QWidget*>(form.ProxyServerLabel), static_cast<QWidget*>(form.ProxyServerEdit),
              static_cast<QWidget*>(form.ProxyPortLabel), static_cast<QWidget*>(form.ProxyPortEdit)}) {
            QCOMPARE(control->isEnabled(), clickProxy);
        }
        for (QWidget* control :
             {static_cast<QWidget*>(form.ProxyNameLabel), static_cast<QWidget*>(form.ProxyNameEdit),
              static_cast<QWidget*>(form.ProxyPasswordLabel), static_cast<QWidget*>(form.ProxyPasswordEdit)}) {
            QCOMPARE(control->isEnabled(), clickAuth);
        }
        QVERIFY(form.UseProxyAuthCheckBox->isEnabled());
        QVERIFY(!form.KlabosServerEdit->isEnabled());
    }

    void portIsCheckedWhenLeft_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("fromPassword");
        QTest::addColumn<bool>("complains");
        QTest::newRow("zero") << u"0"_qs << false << true;
        QTest::newRow("lowest port") << u"1"_qs << false << false;
        QTest::newRow("highest port") << u"65535"_qs << false << false;
        QTest::newRow("one above the highest") << u"65536"_qs << false << true;
        QTest::newRow("empty") << QString() << false << true;
        QTest::newRow("letters") << u"http"_qs << false << true;
        QTest::newRow("empty port when leaving the proxy password") << QString() << true << true;
        QTest::newRow("valid port when leaving the proxy password") << u"8080"_qs << true << false;
    }
    void portIsCheckedWhenLeft() {
        QFETCH(QString, typed);
        QFETCH(bool, fromPassword);
        QFETCH(bool, complains);
        TSettingsForm& form = OpenProxyFields();
        if (fromPassword) {
            form.ProxyPortEdit->setText(typed);
            TypeInto(form.ProxyPasswordEdit, u"tajne"_qs);
        } else {
            TypeInto(form.ProxyPortEdit, typed);
        }
        LeaveWithTab();
        QCOMPARE(ShownCaptions(), complains ? QStringList{PortCaption} : QStringList{});
        QCOMPARE(form.ProxyPortEdit->text(), complains ? QString() : typed);
        if (complains) {
            const TModal::TShownBox& box = ShownBoxes().first();
            QCOMPARE(box.Icon, QMessageBox::Critical);
            QCOMPARE(box.Text, u"Hodnota, kterou jste zadali, není platná pro HTTP proxy server.\n"
                               u"Zvolte číslo v rozsahu 1..65535."_qs);
        }
        QTest::mouseClick(form.OKButton, Qt::LeftButton);
        QCOMPARE(StoredValue(ProductKey, u"ProxyPort"_qs), TStoredValue{complains ? 0 : typed.toInt()});
    }

    void portConfirmedWithEnterStoresNoPortUnlessValid_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("valid port") << u"3128"_qs << 3128;
        QTest::newRow("beyond the highest port") << u"99999"_qs << 0;
        QTest::newRow("letters") << u"abc"_qs << 0;
    }
    void portConfirmedWithEnterStoresNoPortUnlessValid() {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        TSettingsForm& form = OpenProxyFields();
        TypeInto(form.ProxyPortEdit, typed);
        QTest::keyClick(form.ProxyPortEdit, Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(int(Settings.ProxyPort), stored);
        QCOMPARE(StoredValue(ProductKey, u"ProxyPort"_qs), TStoredValue{stored});
    }

    void numberFieldsKeepToTheirRange_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("value");
        QTest::newRow("999 in the refresh field becomes 500") << u"RefreshIntervalSpinEdit"_qs << u"999"_qs << 500;
        QTest::newRow("below the range rises to the lower bound") << u"RefreshIntervalSpinEdit"_qs << u"5"_qs << 20;
        QTest::newRow("a sign alone reads as the lower bound") << u"StatusRefreshIntervalSpinEdit"_qs << u"-"_qs << 1;
        QTest::newRow("a negative number rises to the lower bound") << u"NotifyDivisorSpinEdit"_qs << u"-7"_qs << 1;
        QTest::newRow("letters cannot be typed") << u"NotifyWaitSpinEdit"_qs << u"7x5"_qs << 300;
        QTest::newRow("no more digits than the field holds") << u"NotifyWaitSpinEdit"_qs << u"12345"_qs << 1234;
        QTest::newRow("a number in range stays") << u"AboutToKickTimeSpinEdit"_qs << u"15"_qs << 15;
        QTest::newRow("a decimal number reads as the lower bound") << u"NotifyDivisorSpinEdit"_qs << u"1.5"_qs << 1;
        QTest::newRow("an emptied field reads as the lower bound") << u"NotifyWaitSpinEdit"_qs << QString() << 300;
    }
    void numberFieldsKeepToTheirRange() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, value);
        TSettingsForm& form = Open();
        ShowPage(form, form.CommonTabSheet);
        const QHash<QString, TSpinEdit*> fields{
            {u"RefreshIntervalSpinEdit"_qs, form.RefreshIntervalSpinEdit},
            {u"StatusRefreshIntervalSpinEdit"_qs, form.StatusRefreshIntervalSpinEdit},
            {u"NotifyDivisorSpinEdit"_qs, form.NotifyDivisorSpinEdit},
            {u"NotifyWaitSpinEdit"_qs, form.NotifyWaitSpinEdit},
            {u"AboutToKickTimeSpinEdit"_qs, form.AboutToKickTimeSpinEdit}};
        TSpinEdit* spin = fields.value(field);
        QVERIFY(spin);
        TypeInto(spin, typed);
        LeaveWithTab();
        QCOMPARE(spin->value(), value);
        QCOMPARE(spin->text(), QString::number(value));
    }

    void netDetectPresetThenCancel_data() {
        QTest::addColumn<bool>("alreadySet");
        QTest::newRow("from the defaults") << false;
        QTest::newRow("boxes already set that way") << true;
    }
    void netDetectPresetThenCancel() {
        QFETCH(bool, alreadySet);
        if (alreadySet) {
            Store(ProductKey, u"AlwaysReconnect"_qs, 1);
            Store(ProductKey, u"AutoConnectOnStartup"_qs, 1);
            Store(ProductKey, u"ReportNetworkErrors"_qs, 0);
        }
        const QStringList storedBefore = StoredNames(ProductKey);
        TSettingsForm& form = Open();
        ShowPage(form, form.CommonTabSheet);
        QTest::mouseClick(form.NetDetectButton, Qt::LeftButton);
        QVERIFY(form.AlwaysReconnectCheckBox->isChecked());
        QVERIFY(form.AutoConnectCheckBox->isChecked());
        QVERIFY(!form.ReportErrorsCheckBox->isChecked());
        QCOMPARE(form.ApplyButton->isEnabled(), !alreadySet);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QCOMPARE(Settings.AlwaysReconnect, alreadySet);
        QCOMPARE(Settings.ReportNetworkErrors, !alreadySet);
        QCOMPARE(StoredNames(ProductKey), storedBefore);
        Open();
        QCOMPARE(form.AutoConnectCheckBox->isChecked(), alreadySet);
        QCOMPARE(form.ReportErrorsCheckBox->isChecked(), !alreadySet);
    }

    void alwaysOnTopNoticeOnlyOnClicks() {
        Store(ProductKey, u"AlwaysOnTop"_qs, 1);
        TSettingsForm& form = Open();
        QVERIFY(form.AlwaysOnTopCheckBox->isChecked());
        QVERIFY(ShownBoxes().isEmpty());
        ShowPage(form, form.CommonTabSheet);
        ClickBox(form.AlwaysOnTopCheckBox);
        ClickBox(form.AlwaysOnTopCheckBox);
        ClickBox(form.AlwaysOnTopCheckBox);
        QCOMPARE(ShownCaptions(), QStringList(3, u"Vždy na vrchu"_qs));
        QCOMPARE(ShownBoxes().first().Icon, QMessageBox::Information);
        QCOMPARE(ShownBoxes().first().Text, u"Změna tohoto nastavení se projeví až po novém startu klienta."_qs);
        QTest::mouseClick(form.OKButton, Qt::LeftButton);
        QCOMPARE(StoredValue(ProductKey, u"AlwaysOnTop"_qs), TStoredValue{0});
        // The main window keeps its style until the next start; opening again shows no notice.
        QVERIFY(MainWindow.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        Open();
        QCOMPARE(ShownBoxes().size(), 3);
    }

    void startAtLoginFollowsTheEntryFile_data() {
        QTest::addColumn<QString>("before"); // none, own (the entry the dialog writes), hidden, blocked
        QTest::addColumn<bool>("shownOn");
        QTest::addColumn<TUserAction>("action");
        QTest::addColumn<bool>("fileAfter");
        QTest::addColumn<bool>("onAfter");
        const TUserAction tickAndOk = [](TSettingsForm& form) {
            ClickBox(form.StartAtLoginCheckBox);
            QTest::mouseClick(form.OKButton, Qt::LeftButton);
        };
        QTest::newRow("ticking and OK writes the entry") << "none" << false << tickAndOk << true << true;
        QTest::newRow("clearing and Apply removes it") << "own" << true << TUserAction([](TSettingsForm& form) {
            ClickBox(form.StartAtLoginCheckBox);
            QTest::mouseClick(form.ApplyButton, Qt::LeftButton);
        }) << false << false;
        QTest::newRow("Zrušit changes nothing") << "none" << false << TUserAction([](TSettingsForm& form) {
            ClickBox(form.StartAtLoginCheckBox);
            QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        }) << false << false;
        QTest::newRow("an entry a desktop switched off shows off and is kept")
            << "hidden" << false
            << TUserAction([](TSettingsForm& form) { QTest::mouseClick(form.OKButton, Qt::LeftButton); }) << true
            << false;
        QTest::newRow("ticking over it writes an entry that starts") << "hidden" << false << tickAndOk << true << true;
        QTest::newRow("a folder that cannot be made: told, the box as it is")
            << "blocked" << false << TUserAction([](TSettingsForm& form) {
                   ClickBox(form.StartAtLoginCheckBox);
                   QTest::mouseClick(form.ApplyButton, Qt::LeftButton);
                   QCOMPARE(ShownCaptions(), QStringList{u"Spouštět po přihlášení"_qs});
                   QVERIFY(!form.StartAtLoginCheckBox->isChecked());
               })
            << false << false;
    }
    void startAtLoginFollowsTheEntryFile() {
        QFETCH(QString, before);
        QFETCH(bool, shownOn);
        QFETCH(TUserAction, action);
        QFETCH(bool, fileAfter);
        QFETCH(bool, onAfter);
        const TAutostartEntry entry;
        QVERIFY(QDir().mkpath(QFileInfo(TAutostartEntry::DefaultFolder()).absolutePath()));
        QFile file(before == u"blocked"_qs ? TAutostartEntry::DefaultFolder() : entry.FilePath());
        if (before != u"none"_qs) {
            QVERIFY(QDir().mkpath(QFileInfo(file.fileName()).absolutePath()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(before == u"own"_qs      ? TAutostartEntry::Contents(TAutostartEntry::ProgramForEntry())
                       : before == u"hidden"_qs ? QByteArray("[Desktop Entry]\nType=Application\nName=Cvrlik\n"
                                                             "Exec=cvrlik --autostart\nHidden=true\n")
                                                : QByteArray("not a folder"));
            file.close();
        }
        TSettingsForm& form = Open();
        ShowPage(form, form.CommonTabSheet);
        QCOMPARE(form.StartAtLoginCheckBox->isChecked(), shownOn);
        action(form);
        QCOMPARE(QFileInfo(entry.FilePath()).isFile(), fileAfter);
        QCOMPARE(entry.IsOn(), onAfter);
        if (onAfter) {
            // The desktop runs this very program, hidden in the tray.
            QFile written(entry.FilePath());
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QByteArray text = written.readAll();
            QVERIFY2(text.contains("\nExec=" + QFile::encodeName(QCoreApplication::applicationFilePath()) +
                                   " --autostart\n"),
                     text.constData());
            const QString complaint = DesktopFileComplaint(entry.FilePath());
            QVERIFY2(complaint.isEmpty(), qPrintable(complaint));
        }
    }

    void entryRemovedByHandShowsOffAtTheNextOpening() {
        const TAutostartEntry entry;
        QString error;
        QVERIFY(entry.SetOn(true, error));
        TSettingsForm& form = Open();
        ShowPage(form, form.CommonTabSheet);
        QVERIFY(form.StartAtLoginCheckBox->isChecked());
        QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        QVERIFY(QFile::remove(entry.FilePath()));
        Open();
        QVERIFY(!form.StartAtLoginCheckBox->isChecked());
        QTest::mouseClick(form.OKButton, Qt::LeftButton);
        QVERIFY(!QFile::exists(entry.FilePath()));
    }

    void loginEntryNamesTheProgramAsTheDesktopReadsIt_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("found on the PATH") << "cvrlik"
                                           << "cvrlik --autostart";
        QTest::newRow("a plain path") << "/usr/local/bin/cvrlik"
                                      << "/usr/local/bin/cvrlik --autostart";
        QTest::newRow("a space: quoted") << "/opt/Moje programy/cvrlik"
                                         << "\"/opt/Moje programy/cvrlik\" --autostart";
        QTest::newRow("a percent sign: doubled") << "/opt/100%/cvrlik"
                                                 << "/opt/100%%/cvrlik --autostart";
        QTest::newRow("quote, dollar and backslash: escaped in quotes, the backslashes once more")
            << "/opt/a\"b$c\\d/cvrlik"
            << "\"/opt/a\\\\\"b\\\\$c\\\\\\\\d/cvrlik\" --autostart";
    }
    void loginEntryNamesTheProgramAsTheDesktopReadsIt() {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        const QByteArray text = TAutostartEntry::Contents(program);
        QVERIFY2(text.contains("\nExec=" + exec.toUtf8() + "\n"), text.constData());
        QTemporaryDir folder;
        QFile file(folder.filePath(u"entry.desktop"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        const QString complaint = DesktopFileComplaint(file.fileName());
        QVERIFY2(complaint.isEmpty(), qPrintable(complaint));
    }

    void everyWayOfClosing_data() {
        QTest::addColumn<TUserAction>("close");
        QTest::addColumn<int>("result");
        QTest::newRow("OK stores") << TUserAction([](TSettingsForm& form) {
            QTest::mouseClick(form.OKButton, Qt::LeftButton);
        }) << int(QDialog::Accepted);
        QTest::newRow("Enter is OK") << TUserAction([](TSettingsForm& form) {
            QTest::keyClick(form.LoginNameEdit, Qt::Key_Return);
        }) << int(QDialog::Accepted);
        QTest::newRow("Zrušit stores nothing")
            << TUserAction([](TSettingsForm& form) { QTest::mouseClick(form.CancelButton, Qt::LeftButton); })
            << int(QDialog::Rejected);
        QTest::newRow("Escape in a field is Cancel")
            << TUserAction([](TSettingsForm& form) { QTest::keyClick(form.LoginNameEdit, Qt::Key_Escape); })
            << int(QDialog::Rejected);
        QTest::newRow("the close box is Cancel")
            << TUserAction([](TSettingsForm& form) { form.close(); }) << int(QDialog::Rejected);
    }
    void everyWayOfClosing() {
        QFETCH(TUserAction, close);
        QFETCH(int, result);
        TSettingsForm& form = Open();
        ShowPage(form, form.ServerTabSheet);
        TypeInto(form.LoginNameEdit, u"Jarka"_qs);
        close(form);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), result);
        const bool stored = result == QDialog::Accepted;
        QCOMPARE(StoredValue(ProductKey, u"LoginName"_qs), stored ? TStoredValue{u"Jarka"_qs} : TStoredValue{});
        QCOMPARE(Settings.LoginName, stored ? u"Jarka"_qs : QString());
        // The next opening shows what is in force.
        Open();
        QCOMPARE(form.LoginNameEdit->text(), Settings.LoginName);
        QVERIFY(!form.ApplyButton->isEnabled());
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestSettingsDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsdialog.moc"
