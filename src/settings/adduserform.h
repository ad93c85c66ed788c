#pragma once

#include "settings/smalldialog.h"

class QComboBox;
class QLineEdit;
class TSettingsForm;

// "Přidej uživatele", opened from the main window's menu: lists a nick in the settings dialog's watched-user list
// with the chosen notify flag. Comments are not touched.
class TAddUserForm : public TSmallDialog {
    Q_OBJECT
public:
    // The nick goes into `settingsForm`'s list, which is saved to the store on OK.
    explicit TAddUserForm(TSettingsForm* settingsForm, QWidget* parent = nullptr);

    QLineEdit* NickEdit = nullptr;
    QComboBox* NotifyComboBox = nullptr;

public Q_SLOTS:
    void OKButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    TSettingsForm* SettingsForm;
};
