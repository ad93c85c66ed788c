#include "settings/commentform.h"

#include "store/nickcomments.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "widgets/application.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

// The smallest outer size the editor can be shrunk to.
constexpr QSize SmallestOuterSize(379, 151);
constexpr QSize FirstSize(420, 220);

} // namespace

TCommentForm::TCommentForm(QWidget* parent)
    : TSmallDialog(QStringLiteral("Komentář"), QStringLiteral("dialog-comment"), parent) {
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    CommentEdit = new QPlainTextEdit(this);
    CommentEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Fields->addWidget(CommentEdit, 1);

    OKButton->setDefault(true);
    // Enter in the comment breaks the line; only leaving the text reaches the default button.
    OKButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);
    connect(OKButton, &QPushButton::clicked, this, &TCommentForm::OKButtonClick);
    setMinimumSize(SmallestOuterSize.expandedTo(minimumSizeHint()));
    resize(FirstSize);
}

void TCommentForm::showEvent(QShowEvent* event) {
    FormShow();
    TSmallDialog::showEvent(event);
}

void TCommentForm::FormShow() {
    TSysReg& store = SysReg();
    QString comment;
    try {
        store.CloseKey();
        store.OpenKeyToRead(NickCommentsKey, true);
        comment = store.ReadString(Nick);
    } catch (const ESysRegError&) {
        // Not readable as text: the editor starts empty.
        comment.clear();
    }
    try {
        store.CloseKey();
    } catch (const ESysRegError&) {
        // Closing after a read commits nothing the user wrote.
    }
    CommentEdit->setPlainText(CommentForEdit(comment));
    CommentEdit->moveCursor(QTextCursor::End);
    CommentEdit->setFocus();
}

void TCommentForm::OKButtonClick() {
    const bool stored = TApplication::RunReportingFailure([this] {
        TSysReg& store = SysReg();
        store.CloseKey();
        store.OpenKey(NickCommentsKey, true);
        store.WriteString(Nick, CommentForStore(CommentEdit->toPlainText()));
        store.CloseKey();
    });
    // A comment that could not be stored stays in the editor, so the user can try again or copy it.
    if (stored) {
        accept();
    }
}
