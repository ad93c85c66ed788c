#include "settings/settingsform.h"

#include "settings/deluserform.h"
#include "settings/storereads.h"
#include "settings/userchecklistbox.h"
#include "store/nickcomments.h"
#include "store/sysreg.h"
#include "widgets/application.h"
#include "widgets/modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

// The Users page: adding and updating a watched user, the list's selection and flags, removal and the comment.

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

void TSettingsForm::AddOrUpdateUserKeepingEdit(const QString& nick, const QString& comment, bool notify) {
    const bool editing = CommentChanged;
    const QString shownNick = SelectedIndex >= 0 ? UserCheckListBox->NickAt(SelectedIndex) : QString();
    AddOrUpdateUser(nick, comment, notify);
    // The add may have moved the entries: the one shown is found again by its nick.
    if (!shownNick.isEmpty()) {
        SelectedIndex = UserCheckListBox->IndexOfNick(shownNick);
        SelectQuietly(SelectedIndex);
    } else if (editing) {
        // A comment typed for the nick in the edit field, listed or not yet.
        SelectQuietly(UserCheckListBox->IndexOfNick(NickEdit->text()));
    }
    CommentChanged = editing;
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
        store.OpenKeyToRead(NickCommentsKey, true);
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
    TApplication::RunReportingFailure([&] { RemoveWatchedUser(nick, commentToo); });
    // Nothing is selected after a removal; the positions after it have moved, so no entry is "the one shown".
    SelectQuietly(-1);
    SelectedIndex = -1;
    RemoveUserBtn->setEnabled(false);
}

bool TSettingsForm::RemoveWatchedUser(const QString& nick, bool commentToo) {
    const int index = UserCheckListBox->IndexOfNick(nick);
    if (index < 0) {
        return false;
    }
    // The comment is stored under the nick as the list spells it.
    const QString spelled = UserCheckListBox->NickAt(index);
    if (commentToo) {
        TSysReg& store = SysReg();
        store.CloseKey();
        store.OpenKey(NickCommentsKey, true);
        store.DeleteValue(spelled);
        store.CloseKey();
    }
    {
        const QSignalBlocker quiet(UserCheckListBox);
        UserCheckListBox->RemoveAt(index);
    }
    SaveNickList();
    return true;
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
