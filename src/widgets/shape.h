#pragma once

#include <QColor>
#include <QWidget>

// A filled circle with a thin black outline: the status lamps.
class TShape : public QWidget {
    Q_OBJECT
public:
    TShape(const QColor& colour, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor Colour;
};
