#pragma once

#include <QPlainTextEdit>

// The message field of the send dialogs: plain text of at most MaxLength characters, as a limited edit field of the
// desktop keeps it. A key that would go beyond the limit is refused, a paste is shortened to what fits. The part
// of the text that will not go out with the message can be marked.
class TMessageMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    TMessageMemo(int maxLength, QWidget* parent = nullptr);

    int MaxLength() const { return Limit; }
    // Marks the text from `position` to its end as the part that does not go out; a position at or past the end
    // removes the mark.
    void MarkUnsent(qsizetype position);
    // Where the mark begins; -1 without one.
    qsizetype UnsentFrom() const { return MarkedFrom; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // Room for so many more characters, the selection (which typing replaces) counted as free.
    qsizetype Room() const;
    // Whatever else put in more (an input method, undo, a text set by the program) is cut back to the limit.
    void KeepLimit();

    int Limit;
    qsizetype MarkedFrom = -1;
    bool Cutting = false;
};
