#pragma once

#include <QString>
#include <QWidget>

class QSvgRenderer;

// A picture stretched over the whole control; where the picture is transparent the window shows through.
class TPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit TPictureBox(const QString& role, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* Renderer;
};
