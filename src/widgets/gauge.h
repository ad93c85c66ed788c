#pragma once

#include <QColor>
#include <QWidget>

// A plain horizontal progress bar without text: the part from the minimum to the progress in the bar colour, the
// rest in the background colour.
class TGauge : public QWidget {
    Q_OBJECT
public:
    TGauge(const QColor& background, const QColor& bar, QWidget* parent = nullptr);

    int MinValue() const { return Minimum; }
    int MaxValue() const { return Maximum; }
    int Progress() const { return Value; }
    void SetRange(int minimum, int maximum);
    // Kept within the range.
    void SetProgress(int value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor Background;
    QColor Bar;
    int Minimum = 0;
    int Maximum = 100;
    int Value = 0;
};
