#pragma once

#include <QSpinBox>

// A number field as the settings dialog wants it: only digits, plus and minus signs and the decimal separator can
// be typed, a number outside the range may stand in the field while it is edited and is pulled into the range
// when the field is left, and text that is not a whole number reads as the lower bound.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    // `digits` limits how many characters can be typed; 0 leaves the field unlimited.
    TSpinEdit(int step, int digits, QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& text, int& position) const override;
    void fixup(QString& text) const override;
    int valueFromText(const QString& text) const override;

private:
    // The number the text holds, pulled into the range; the lower bound when it holds none.
    int BoundedValue(const QString& text) const;
};
