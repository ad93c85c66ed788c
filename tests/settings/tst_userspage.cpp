// The Users page of the settings dialog and the three small dialogs of the watched-user list, driven as the user
// drives them, with the store checked after every step that writes.

#include "settings/adduserform.h"
#include "settings/commentform.h"
#include "settings/deluserform.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "testhelpers.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

namespace {

const QString DefaultSentence =
    QStringLiteral(" je můj známý/moje známá z Klabka. Časem si sem o něm/ní určitě něco poznamenám.");

void TypeInto(QWidget* field, const QString& text) {
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(6, field->height() / 2));
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    TypeText(field, text);
}

// Types at the end of the comment field, as a user adds a line.
void TypeComment(QPlainTextEdit* comment, const QString& text) {
    QTest::mouseClick(comment->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::keyClick(comment, Qt::Key_End, Qt::ControlModifier);
    TypeText(comment, text);
}

// Picks "ANO" or "NE" with the arrow keys, as the user does in a closed drop-down list.
void ChooseNotify(QComboBox* combo, bool notify) {
    combo->setFocus();
    QTest::keyClick(combo, notify ? Qt::Key_Up : Qt::Key_Down);
}

} // namespace

// What the user does in a small dialog once it is shown; gives the dialog's result.
using TDialogUse = std::function<void(QDialog&)>;
Q_DECLARE_METATYPE(TDialogUse)

class TestUsersPage : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> TestStore;
    QWidget MainWindow;
    std::unique_ptr<TSettingsForm> Form;

    // Opens the settings dialog on the Users page.
    TSettingsForm& Open() {
        if (!Form) {
            Form = std::make_unique<TSettingsForm>(&MainWindow);
        }
        if (!ShowActive(Form.get())) {
            qWarning("the settings dialog did not become the active window");
        }
        QTabBar* tabs = Form->PageControl->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {},
                          tabs->tabRect(Form->PageControl->indexOf(Form->UserTabSheet)).center());
        return *Form;
    }

    void ClickNick(TSettingsForm& form, const QString& nick) {
        const int row = form.UserCheckListBox->IndexOfNick(nick);
        QVERIFY2(row >= 0, qPrintable(nick));
        ClickEntry(form.UserCheckListBox, row);
    }

    // Shows the small dialog the page opened, lets the test act in it as the user, and gives its result.
    static void PresetDialogUse(TDialogUse use) {
        TModal::PresetDialog([use](QDialog& dialog) {
            if (!ShowActive(&dialog)) {
                qWarning("the small dialog did not become the active window");
            }
            use(dialog);
            const int result = dialog.isVisible() ? int(QDialog::Rejected) : dialog.result();
            dialog.hide();
            return result;
        });
    }

private Q_SLOTS:
    void init() {
        TestStore = std::make_unique<TTestStore>();
        QVERIFY(TestStore->IsValid());
        Store(NickListKey, u"adam"_qs, 1);
        Store(NickListKey, u"Bara"_qs, 0);
        Store(NickCommentsKey, u"adam"_qs, u"soused\r\nz dílny"_qs);
        Store(NickCommentsKey, u"Zdena"_qs, u"odešla"_qs); // kept after an earlier removal
    }
    void cleanup() {
        Form.reset();
        TestStore.reset();
    }

    void clickingAnEntryShowsIt_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("notify");
        QTest::addColumn<QString>("comment");
        QTest::newRow("stored comment with two lines") << u"adam"_qs << u"ANO"_qs << u"soused\nz dílny"_qs;
        QTest::newRow("no stored comment shows the default sentence")
            << u"Bara"_qs << u"NE"_qs << QString(u"Bara"_qs + DefaultSentence);
    }
    void clickingAnEntryShowsIt() {
        QFETCH(QString, nick);
        QFETCH(QString, notify);
        QFETCH(QString, comment);
        TSettingsForm& form = Open();
        QVERIFY(!form.RemoveUserBtn->isEnabled());
        QCOMPARE(form.NotifyComboBox->currentIndex(), -1);
        ClickNick(form, nick);
        QCOMPARE(form.NickEdit->text(), nick);
        QCOMPARE(form.NotifyComboBox->currentText(), notify);
        QCOMPARE(form.CommentEdit->toPlainText(), comment);
        QCOMPARE(form.SelectedIndex, form.UserCheckListBox->IndexOfNick(nick));
        QVERIFY(form.RemoveUserBtn->isEnabled());
        QVERIFY(!form.CommentChanged);
        // Closing asks nothing and stores nothing: the default sentence is only shown.
        QTest::mouseClick(form.OKButton, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QVERIFY(!ShownCaptions().contains(u"Byla provedena změna"_qs));
        QCOMPARE(StoredNames(NickCommentsKey), (QStringList{u"adam"_qs, u"Zdena"_qs}));
    }

    void addingStoresNickFlagAndComment_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("notify");
        QTest::addColumn<bool>("withInsertKey");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("storedComment");
        QTest::newRow("new nick with the button") << u"Cyril"_qs << true << false << u"Cyril"_qs << u"nový\r\nřádek"_qs;
        QTest::newRow("new nick with the Insert key")
            << u"cyril"_qs << false << true << u"cyril"_qs << u"nový\r\nřádek"_qs;
        QTest::newRow("listed nick in other letter case keeps its spelling")
            << u"BARA"_qs << true << false << u"Bara"_qs << u"nový\r\nřádek"_qs;
        QTest::newRow("removed nick brings back its kept comment")
            << u"zdena"_qs << false << true << u"zdena"_qs
            << u"nový\r\nřádek\r\n\r\n*** Původní informace ***\r\nodešla"_qs;
    }
    void addingStoresNickFlagAndComment() {
        QFETCH(QString, typed);
        QFETCH(bool, notify);
        QFETCH(bool, withInsertKey);
        QFETCH(QString, listed);
        QFETCH(QString, storedComment);
        TSettingsForm& form = Open();
        TypeInto(form.NickEdit, typed);
        // Typing picks "NE" for an empty choice.
        QCOMPARE(form.NotifyComboBox->currentText(), u"NE"_qs);
        ChooseNotify(form.NotifyComboBox, notify);
        TypeComment(form.CommentEdit, u"nový\nřádek"_qs);
        QVERIFY(form.CommentChanged);
        if (withInsertKey) {
            QTest::keyClick(form.NickEdit, Qt::Key_Insert);
        } else {
            QTest::mouseClick(form.AddUserBtn, Qt::LeftButton);
        }
        // The add itself stores the comment: no question about it.
        QCOMPARE(ShownCaptions(), QStringList{});
        TUserCheckListBox* list = form.UserCheckListBox;
        const int index = list->IndexOfNick(typed);
        QCOMPARE(list->NickAt(index), listed);
        QCOMPARE(list->FlagAt(index), notify);
        QCOMPARE(list->currentRow(), index);
        QCOMPARE(list->Count(), StoredNames(NickListKey).size());
        QCOMPARE(StoredNames(NickListKey), list->Nicks());
        QCOMPARE(StoredValue(NickListKey, listed), TStoredValue{qint32(notify)});
        QCOMPARE(StoredValue(NickCommentsKey, typed), TStoredValue{storedComment});
        QVERIFY(!form.CommentChanged);
        // Adds are stored at once; cancelling the dialog does not undo them.
        QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(StoredValue(NickListKey, listed), TStoredValue{qint32(notify)});
    }

    void senderListedWhileTheDialogIsOpenAsksNothing() {
        TSettingsForm& form = Open();
        ClickNick(form, u"adam"_qs);
        TypeComment(form.CommentEdit, u"!"_qs);
        // A message from a new sender arrives while the user edits (the session lists the sender).
        form.AddOrUpdateUser(u"0cyril"_qs, u"z došlého vzkazu"_qs, false);
        QCOMPARE(ShownCaptions(), QStringList{});
        QCOMPARE(form.UserCheckListBox->Nicks(), (QStringList{u"0cyril"_qs, u"adam"_qs, u"Bara"_qs}));
        QCOMPARE(StoredValue(NickCommentsKey, u"0cyril"_qs), TStoredValue{u"z došlého vzkazu"_qs});
        QCOMPARE(StoredValue(NickCommentsKey, u"adam"_qs), TStoredValue{u"soused\r\nz dílny"_qs});
        QCOMPARE(StoredNames(NickListKey), form.UserCheckListBox->Nicks());
    }

    void typingANickPointsAtItsEntryOnly_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("row");
        QTest::newRow("listed nick in other case") << u"ADAM"_qs << 0;
        QTest::newRow("a prefix matches nothing") << u"Ba"_qs << -1;
    }
    void typingANickPointsAtItsEntryOnly() {
        QFETCH(QString, typed);
        QFETCH(int, row);
        TSettingsForm& form = Open();
        TypeInto(form.NickEdit, typed);
        QCOMPARE(form.UserCheckListBox->currentRow(), row);
        QCOMPARE(form.SelectedIndex, -1);
        QVERIFY(form.CommentEdit->toPlainText().isEmpty());
        QCOMPARE(form.NotifyComboBox->currentText(), u"NE"_qs);
        // The combo sets the flag of the matching entry in memory only.
        ChooseNotify(form.NotifyComboBox, true);
        if (row >= 0) {
            QVERIFY(form.UserCheckListBox->FlagAt(row));
        }
        QCOMPARE(StoredValue(NickListKey, u"adam"_qs), TStoredValue{1});
        QCOMPARE(StoredValue(NickListKey, u"Bara"_qs), TStoredValue{0});
    }

    void tabbingIntoTheListSelectsNothing() {
        TSettingsForm& form = Open();
        TypeComment(form.CommentEdit, u"bez nicku"_qs);
        form.UserCheckListBox->setFocus(Qt::TabFocusReason);
        QVERIFY(ShownBoxes().isEmpty());
        QVERIFY(form.NickEdit->text().isEmpty());
        QCOMPARE(form.SelectedIndex, -1);
        QVERIFY(!form.RemoveUserBtn->isEnabled());
    }

    void toggledFlagLastsUntilTheNextOpening() {
        TSettingsForm& form = Open();
        ClickNick(form, u"Bara"_qs);
        QCOMPARE(form.NotifyComboBox->currentText(), u"NE"_qs);
        QTest::keyClick(form.UserCheckListBox, Qt::Key_Space);
        const int bara = form.UserCheckListBox->IndexOfNick(u"bara"_qs);
        QVERIFY(form.UserCheckListBox->FlagAt(bara));
        QCOMPARE(form.NotifyComboBox->currentText(), u"ANO"_qs);
        QCOMPARE(StoredValue(NickListKey, u"Bara"_qs), TStoredValue{0});
        QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        // The other windows see the flag until the dialog is opened again, which reloads the stored list.
        QVERIFY(form.UserCheckListBox->FlagAt(bara));
        Open();
        QVERIFY(!form.UserCheckListBox->FlagAt(bara));
        QCOMPARE(form.SelectedIndex, -1);
        QVERIFY(form.NickEdit->text().isEmpty());
    }

    void removing_data() {
        QTest::addColumn<bool>("withDeleteKey");
        QTest::addColumn<TDialogUse>("use");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<bool>("commentKept");
        const TDialogUse okOnly = [](QDialog& dialog) {
            QTest::mouseClick(static_cast<TDelUserForm&>(dialog).OKButton, Qt::LeftButton);
        };
        const TDialogUse commentToo = [](QDialog& dialog) {
            auto& confirmation = static_cast<TDelUserForm&>(dialog);
            ClickBox(confirmation.CommentTooCheckBox);
            QVERIFY(confirmation.CommentTooCheckBox->isChecked());
            QTest::mouseClick(confirmation.OKButton, Qt::LeftButton);
        };
        const TDialogUse enter = [](QDialog& dialog) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY(!dialog.isVisible());
        };
        const TDialogUse escape = [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); };
        QTest::newRow("button, comment box clear, keeps the comment") << false << okOnly << true << true;
        QTest::newRow("Delete key, comment box ticked, removes the comment") << true << commentToo << true << false;
        QTest::newRow("Enter cancels the removal") << true << enter << false << true;
        QTest::newRow("Escape cancels the removal") << false << escape << false << true;
    }
    void removing() {
        QFETCH(bool, withDeleteKey);
        QFETCH(TDialogUse, use);
        QFETCH(bool, removed);
        QFETCH(bool, commentKept);
        TSettingsForm& form = Open();
        ClickNick(form, u"adam"_qs);
        QString question;
        PresetDialogUse([&](QDialog& dialog) {
            question = static_cast<TDelUserForm&>(dialog).QuestionLabel->text();
            QVERIFY(!static_cast<TDelUserForm&>(dialog).CommentTooCheckBox->isChecked());
            use(dialog);
        });
        if (withDeleteKey) {
            QTest::keyClick(form.UserCheckListBox, Qt::Key_Delete);
        } else {
            QTest::mouseClick(form.RemoveUserBtn, Qt::LeftButton);
        }
        QCOMPARE(question, u"Opravdu chcete odstranit uživatele adam ?"_qs);
        QCOMPARE(form.UserCheckListBox->IndexOfNick(u"adam"_qs) < 0, removed);
        QCOMPARE(StoredNames(NickListKey), form.UserCheckListBox->Nicks());
        QCOMPARE(StoredNames(NickCommentsKey).contains(u"adam"_qs), commentKept);
        QCOMPARE(form.RemoveUserBtn->isEnabled(), !removed);
        // The editing fields keep what they showed.
        QCOMPARE(form.NickEdit->text(), u"adam"_qs);
        QCOMPARE(form.CommentEdit->toPlainText(), u"soused\nz dílny"_qs);
    }

    void removeWithNothingSelectedDoesNothing() {
        TSettingsForm& form = Open();
        form.RemoveUserBtn->setEnabled(true);
        QTest::mouseClick(form.RemoveUserBtn, Qt::LeftButton);
        form.UserCheckListBox->setFocus();
        QTest::keyClick(form.UserCheckListBox, Qt::Key_Delete);
        QCOMPARE(form.UserCheckListBox->Count(), 2);
        QVERIFY(ShownBoxes().isEmpty());
    }

    void readdingAfterRemovalBringsTheCommentBack() {
        TSettingsForm& form = Open();
        ClickNick(form, u"adam"_qs);
        PresetDialogUse(
            [](QDialog& dialog) { QTest::mouseClick(static_cast<TDelUserForm&>(dialog).OKButton, Qt::LeftButton); });
        QTest::mouseClick(form.RemoveUserBtn, Qt::LeftButton);
        QCOMPARE(form.UserCheckListBox->IndexOfNick(u"adam"_qs), -1);
        // The fields still hold the removed entry; Add lists it again below its old comment.
        QTest::mouseClick(form.AddUserBtn, Qt::LeftButton);
        QCOMPARE(form.UserCheckListBox->Nicks(), (QStringList{u"adam"_qs, u"Bara"_qs}));
        QCOMPARE(StoredValue(NickCommentsKey, u"adam"_qs),
                 TStoredValue{u"soused\r\nz dílny\r\n\r\n*** Původní informace ***\r\nsoused\r\nz dílny"_qs});
    }

    void commentQuestionOnClickingAnotherEntry_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("storedAdam");
        QTest::newRow("Yes stores the edit, then shows the clicked entry")
            << int(QMessageBox::Yes) << u"Bara"_qs << QString(u"Bara"_qs + DefaultSentence) << u"soused\r\nz dílny!"_qs;
        QTest::newRow("No drops the edit")
            << int(QMessageBox::No) << u"Bara"_qs << QString(u"Bara"_qs + DefaultSentence) << u"soused\r\nz dílny"_qs;
        QTest::newRow("Cancel keeps the edited entry")
            << int(QMessageBox::Cancel) << u"adam"_qs << u"soused\nz dílny!"_qs << u"soused\r\nz dílny"_qs;
    }
    void commentQuestionOnClickingAnotherEntry() {
        QFETCH(int, answer);
        QFETCH(QString, selected);
        QFETCH(QString, shown);
        QFETCH(QString, storedAdam);
        TSettingsForm& form = Open();
        ClickNick(form, u"adam"_qs);
        TypeComment(form.CommentEdit, u"!"_qs);
        TModal::PresetAnswer(static_cast<QMessageBox::StandardButton>(answer));
        ClickNick(form, u"Bara"_qs);
        QCOMPARE(ShownCaptions(), QStringList{u"Byla provedena změna"_qs});
        QCOMPARE(ShownBoxes().first().Text, u"Chcete uložit změnu komentáře?"_qs);
        QCOMPARE(ShownBoxes().first().Icon, QMessageBox::Question);
        QCOMPARE(form.UserCheckListBox->NickAt(form.UserCheckListBox->currentRow()), selected);
        QCOMPARE(form.NickEdit->text(), selected);
        QCOMPARE(form.CommentEdit->toPlainText(), shown);
        QCOMPARE(StoredValue(NickCommentsKey, u"adam"_qs), TStoredValue{storedAdam});
        QCOMPARE(form.CommentChanged, answer == QMessageBox::Cancel);
    }

    void clickingTheShownEntryAgainKeepsAnEdit() {
        TSettingsForm& form = Open();
        ClickNick(form, u"adam"_qs);
        TypeComment(form.CommentEdit, u"!"_qs);
        ClickNick(form, u"adam"_qs);
        QVERIFY(ShownBoxes().isEmpty());
        QCOMPARE(form.CommentEdit->toPlainText(), u"soused\nz dílny!"_qs);
        QVERIFY(form.CommentChanged);
    }

    void commentQuestionOnClosing_data() {
        QTest::addColumn<int>("way"); // 0 OK, 1 Zrušit, 2 Escape, 3 the close box
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("OK, then Cancel keeps it open with the settings stored")
            << 0 << int(QMessageBox::Cancel) << false;
        QTest::newRow("Zrušit, then Cancel keeps it open") << 1 << int(QMessageBox::Cancel) << false;
        QTest::newRow("Escape, then Cancel keeps it open") << 2 << int(QMessageBox::Cancel) << false;
        QTest::newRow("close box, then Cancel keeps it open") << 3 << int(QMessageBox::Cancel) << false;
        QTest::newRow("Escape, then Yes stores the comment") << 2 << int(QMessageBox::Yes) << true;
        QTest::newRow("close box, then No drops it") << 3 << int(QMessageBox::No) << true;
    }
    void commentQuestionOnClosing() {
        QFETCH(int, way);
        QFETCH(int, answer);
        QFETCH(bool, closes);
        TSettingsForm& form = Open();
        ClickNick(form, u"adam"_qs);
        form.LoginNameEdit->setText(u"Jarka"_qs);
        TypeComment(form.CommentEdit, u"!"_qs);
        TModal::PresetAnswer(static_cast<QMessageBox::StandardButton>(answer));
        switch (way) {
        case 0:
            QTest::mouseClick(form.OKButton, Qt::LeftButton);
            break;
        case 1:
            QTest::mouseClick(form.CancelButton, Qt::LeftButton);
            break;
        case 2:
            QTest::keyClick(form.CommentEdit, Qt::Key_Escape);
            break;
        default:
            form.close();
            break;
        }
        QCOMPARE(ShownCaptions(), QStringList{u"Byla provedena změna"_qs});
        QCOMPARE(form.isVisible(), !closes);
        QCOMPARE(form.PageControl->currentWidget(), form.UserTabSheet);
        QCOMPARE(StoredValue(ProductKey, u"LoginName"_qs), way == 0 ? TStoredValue{u"Jarka"_qs} : TStoredValue{});
        const bool stored = answer == QMessageBox::Yes;
        QCOMPARE(StoredValue(NickCommentsKey, u"adam"_qs),
                 TStoredValue{stored ? u"soused\r\nz dílny!"_qs : u"soused\r\nz dílny"_qs});
        if (!closes) {
            QCOMPARE(form.CommentEdit->toPlainText(), u"soused\nz dílny!"_qs);
        }
    }

    void addUserDialog_data() {
        QTest::addColumn<TDialogUse>("use");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QList<bool>>("flags");
        const auto typeAndAccept = [](const QString& nick, bool notify) {
            return TDialogUse([nick, notify](QDialog& dialog) {
                auto& form = static_cast<TAddUserForm&>(dialog);
                QCOMPARE(QApplication::focusWidget(), form.NickEdit);
                QCOMPARE(form.NotifyComboBox->currentText(), u"NE"_qs);
                TypeText(form.NickEdit, nick);
                if (notify) {
                    ChooseNotify(form.NotifyComboBox, true);
                }
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            });
        };
        QTest::newRow("new nick with ANO, Enter is OK")
            << typeAndAccept(u"Cyril"_qs, true) << int(QDialog::Accepted)
            << QStringList{u"adam"_qs, u"Bara"_qs, u"Cyril"_qs} << QList<bool>{true, true, true};
        QTest::newRow("listed nick in other case takes the flag")
            << typeAndAccept(u"ADAM"_qs, false) << int(QDialog::Accepted) << QStringList{u"adam"_qs, u"Bara"_qs}
            << QList<bool>{false, true};
        QTest::newRow("empty nick writes the list again")
            << typeAndAccept(QString(), true) << int(QDialog::Accepted) << QStringList{u"adam"_qs, u"Bara"_qs}
            << QList<bool>{true, true};
        QTest::newRow("Escape adds nothing") << TDialogUse([](QDialog& dialog) {
            TypeText(static_cast<TAddUserForm&>(dialog).NickEdit, u"Cyril"_qs);
            QTest::keyClick(&dialog, Qt::Key_Escape);
        }) << int(QDialog::Rejected) << QStringList{u"adam"_qs, u"Bara"_qs}
                                             << QList<bool>{true, true};
    }
    void addUserDialog() {
        QFETCH(TDialogUse, use);
        QFETCH(int, result);
        QFETCH(QStringList, listed);
        QFETCH(QList<bool>, flags);
        Form = std::make_unique<TSettingsForm>(&MainWindow);
        // A flag changed in memory only (the main window's menu does that before it saves).
        Form->UserCheckListBox->SetFlag(Form->UserCheckListBox->IndexOfNick(u"Bara"_qs), true);
        TAddUserForm dialog(Form.get());
        QCOMPARE(dialog.windowTitle(), u"Přidej uživatele"_qs);
        QVERIFY(dialog.OKButton->isDefault());
        PresetDialogUse(use);
        QCOMPARE(TModal::ExecDialog(dialog), result);
        QCOMPARE(Form->UserCheckListBox->Nicks(), listed);
        const bool saved = result == QDialog::Accepted;
        for (int index = 0; index < listed.size(); ++index) {
            QCOMPARE(Form->UserCheckListBox->FlagAt(index), flags[index]);
            if (saved) {
                QCOMPARE(StoredValue(NickListKey, listed[index]), TStoredValue{qint32(flags[index])});
            }
        }
        QCOMPARE(StoredNames(NickListKey), saved ? listed : (QStringList{u"adam"_qs, u"Bara"_qs}));
        // Comments are not touched: a nick added here keeps any comment left from before.
        QCOMPARE(StoredNames(NickCommentsKey), (QStringList{u"adam"_qs, u"Zdena"_qs}));
    }

    void addUserDialogLeavesAKeptCommentAsItWas() {
        Form = std::make_unique<TSettingsForm>(&MainWindow);
        TAddUserForm dialog(Form.get());
        PresetDialogUse([](QDialog& shown) {
            TypeText(static_cast<TAddUserForm&>(shown).NickEdit, u"Zdena"_qs);
            QTest::mouseClick(static_cast<TAddUserForm&>(shown).OKButton, Qt::LeftButton);
        });
        QCOMPARE(TModal::ExecDialog(dialog), int(QDialog::Accepted));
        QVERIFY(Form->UserCheckListBox->IndexOfNick(u"Zdena"_qs) >= 0);
        QCOMPARE(StoredValue(NickCommentsKey, u"Zdena"_qs), TStoredValue{u"odešla"_qs});
    }

    void commentDialog_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<TStoredValue>("before");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<TStoredValue>("after");
        QTest::newRow("stored comment, caret at its end, OK stores the addition")
            << u"ADAM"_qs << TStoredValue{u"soused\r\nz dílny"_qs} << true << u"soused\nz dílny"_qs
            << TStoredValue{u"soused\r\nz dílny+\r\ndalší"_qs};
        QTest::newRow("no comment starts empty")
            << u"Bara"_qs << TStoredValue{} << true << QString() << TStoredValue{u"+\r\ndalší"_qs};
        QTest::newRow("a comment stored as a number starts empty")
            << u"Bara"_qs << TStoredValue{7} << true << QString() << TStoredValue{u"+\r\ndalší"_qs};
        QTest::newRow("Escape stores nothing")
            << u"adam"_qs << TStoredValue{u"soused"_qs} << false << u"soused"_qs << TStoredValue{u"soused"_qs};
    }
    void commentDialog() {
        QFETCH(QString, nick);
        QFETCH(TStoredValue, before);
        QFETCH(bool, accept);
        QFETCH(QString, shown);
        QFETCH(TStoredValue, after);
        Store(NickCommentsKey, nick, before);
        TCommentForm dialog;
        dialog.Nick = nick;
        QCOMPARE(dialog.windowTitle(), u"Komentář"_qs);
        QString shownText;
        PresetDialogUse([&](QDialog&) {
            shownText = dialog.CommentEdit->toPlainText();
            // Typing goes where the caret was put: the end of the text. Enter breaks the line.
            TypeText(dialog.CommentEdit, u"+"_qs);
            QTest::keyClick(dialog.CommentEdit, Qt::Key_Return);
            TypeText(dialog.CommentEdit, u"další"_qs);
            if (accept) {
                QTest::mouseClick(dialog.OKButton, Qt::LeftButton);
            } else {
                QTest::keyClick(dialog.CommentEdit, Qt::Key_Escape);
            }
        });
        QCOMPARE(TModal::ExecDialog(dialog), int(accept ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(shownText, shown);
        QCOMPARE(StoredValue(NickCommentsKey, nick), after);
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestUsersPage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_userspage.moc"
