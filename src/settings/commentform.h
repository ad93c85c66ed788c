#pragma once

#include "settings/smalldialog.h"

class QPlainTextEdit;

// "Komentář": edits the stored comment of one nick; OK writes it to the store.
class TCommentForm : public TSmallDialog {
    Q_OBJECT
public:
    explicit TCommentForm(QWidget* parent = nullptr);

    // The nick whose comment is edited; set by the caller before showing.
    QString Nick;
    QPlainTextEdit* CommentEdit = nullptr;

public Q_SLOTS:
    void OKButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
};
