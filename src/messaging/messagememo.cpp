#include "messaging/messagememo.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

namespace {

const QColor UnsentBackground(255, 190, 190);

// The first `count` units of the text, without leaving half of a surrogate pair at the end.
QString LeftWhole(const QString& text, qsizetype count) {
    if (count <= 0) {
        return {};
    }
    if (count < text.size() && text.at(count - 1).isHighSurrogate()) {
        --count;
    }
    return text.left(count);
}

} // namespace

TMessageMemo::TMessageMemo(int maxLength, QWidget* parent)
    : QPlainTextEdit(parent)
    , Limit(maxLength) {
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &TMessageMemo::KeepLimit);
}

qsizetype TMessageMemo::Room() const {
    const QTextCursor cursor = textCursor();
    const qsizetype selected = cursor.selectionEnd() - cursor.selectionStart();
    return qMax<qsizetype>(0, Limit - (toPlainText().size() - selected));
}

void TMessageMemo::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    const bool inserts = !typed.isEmpty() && (typed.at(0).isPrint() || typed == QLatin1String("\r")) &&
                         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (inserts && typed.size() > Room()) {
        event->accept(); // refused: the message is full
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TMessageMemo::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) {
        return;
    }
    QString text = source->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString fitting = LeftWhole(text, Room());
    if (!fitting.isEmpty()) {
        textCursor().insertText(fitting);
        ensureCursorVisible();
    }
}

void TMessageMemo::KeepLimit() {
    if (Cutting) {
        return;
    }
    const QString text = toPlainText();
    if (text.size() <= Limit) {
        return;
    }
    Cutting = true;
    const int cursorAt = qMin(textCursor().position(), Limit);
    setPlainText(LeftWhole(text, Limit));
    QTextCursor cursor = textCursor();
    cursor.setPosition(qMin(cursorAt, int(toPlainText().size())));
    setTextCursor(cursor);
    Cutting = false;
}

void TMessageMemo::MarkUnsent(qsizetype position) {
    const qsizetype length = toPlainText().size();
    MarkedFrom = position >= 0 && position < length ? position : -1;
    QList<QTextEdit::ExtraSelection> marks;
    if (MarkedFrom >= 0) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(document());
        mark.cursor.setPosition(int(MarkedFrom));
        mark.cursor.setPosition(int(length), QTextCursor::KeepAnchor);
        mark.format.setBackground(UnsentBackground);
        marks.append(mark);
    }
    setExtraSelections(marks);
    setToolTip(MarkedFrom >= 0 ? QStringLiteral("Vyznačený konec zprávy se už do požadavku nevejde a neodešle se.")
                               : QString());
}
