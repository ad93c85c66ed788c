#pragma once

#include <QDialog>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

// What the three small dialogs of the watched-user list share: the dialog font, the picture at the left, the
// row of OK and "Zrušit" at the bottom right, and the placement in the middle of the screen. Escape closes with
// the result Cancel (the toolkit's dialog does that).
class TSmallDialog : public QDialog {
    Q_OBJECT
public:
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    TSmallDialog(const QString& caption, const QString& picture, QWidget* parent);
    // Where the dialog's own controls go, right of the picture.
    QVBoxLayout* Fields = nullptr;
    void showEvent(QShowEvent* event) override;

private:
    void CentreOnScreen();
};
