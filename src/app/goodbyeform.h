#pragma once

#include <QWidget>

class QLabel;

// The farewell window: a small borderless notice in the middle of the screen while the program shuts down.
class TGoodbyeForm : public QWidget {
    Q_OBJECT
public:
    explicit TGoodbyeForm(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
