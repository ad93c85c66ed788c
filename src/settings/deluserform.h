#pragma once

#include "settings/smalldialog.h"

class QCheckBox;
class QLabel;

// "Odstraň uživatele": asks whether the nick really goes, and whether its comment goes too. "Zrušit" is the
// default button, so Enter keeps the nick. The caller acts on the result.
class TDelUserForm : public TSmallDialog {
    Q_OBJECT
public:
    explicit TDelUserForm(QWidget* parent = nullptr);

    // The nick asked about; set by the caller before showing.
    QString Nick;
    QLabel* QuestionLabel = nullptr;
    QCheckBox* CommentTooCheckBox = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
};
