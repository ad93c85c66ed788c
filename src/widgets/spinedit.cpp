#include "widgets/spinedit.h"

#include <QLineEdit>
#include <QLocale>

TSpinEdit::TSpinEdit(int step, int digits, QWidget* parent)
    : QSpinBox(parent) {
    setSingleStep(step);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    if (digits > 0) {
        lineEdit()->setMaxLength(digits);
        // Room for the widest number the field takes, beside the arrows.
        setMaximumWidth(fontMetrics().horizontalAdvance(QString(digits + 1, QLatin1Char('9'))) + 28);
    }
}

QValidator::State TSpinEdit::validate(QString& text, int& position) const {
    Q_UNUSED(position);
    const QString separator = locale().decimalPoint();
    for (const QChar character : text) {
        const bool digit = character >= QLatin1Char('0') && character <= QLatin1Char('9');
        if (!digit && character != QLatin1Char('+') && character != QLatin1Char('-') &&
            !separator.contains(character)) {
            return QValidator::Invalid;
        }
    }
    bool isNumber = false;
    const qlonglong number = text.toLongLong(&isNumber);
    return isNumber && number >= minimum() && number <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void TSpinEdit::fixup(QString& text) const {
    text = QString::number(BoundedValue(text));
}

int TSpinEdit::valueFromText(const QString& text) const {
    return BoundedValue(text);
}

int TSpinEdit::BoundedValue(const QString& text) const {
    bool isNumber = false;
    const qlonglong number = text.toLongLong(&isNumber);
    if (!isNumber) {
        return minimum();
    }
    return static_cast<int>(qBound(qlonglong(minimum()), number, qlonglong(maximum())));
}
