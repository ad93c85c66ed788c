#pragma once

#include <QDialog>
#include <QList>
#include <QRect>
#include <QString>
#include <optional>

class QFrame;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TMessagingSession;
class TPictureBox;

// "Příchozí zprávy": the stored messages of one sender, one at a time. Leaving a message with "Další >>" or "OK"
// deletes it from the store; Esc and the close box keep the one on display. The reply opens a send dialog over
// the viewer, through the main window, which connects the requests below.
class TInMsgForm : public QDialog {
    Q_OBJECT
public:
    // The design's client area; the window opens at this size and place.
    static constexpr QSize DesignClientSize{433, 219};
    static constexpr QPoint DesignPosition{241, 258};
    static constexpr QSize SmallestClientSize{403, 132};

    explicit TInMsgForm(TMessagingSession& session, QWidget* parent = nullptr);

    // The sender whose messages are shown; set by the opener before showing.
    QString Nick;
    // The value name of the message on display; empty when none was shown.
    QString CurrentMessage;

    // Controls.
    QFrame* Bevel1 = nullptr;
    TPictureBox* Image1 = nullptr;
    QPlainTextEdit* MsgMemo = nullptr;
    QPushButton* NextMsgButton = nullptr;
    QPushButton* ReplyButton = nullptr;
    QRadioButton* ReplyKlabosRadioButton = nullptr;
    QRadioButton* ReplyClientRadioButton = nullptr;
    QPushButton* OKButton = nullptr;

Q_SIGNALS:
    // The reply: a message to the sender in the chat, or to the sender's client.
    void SendMessageRequested(const QString& nick);
    void SendClientMessageRequested(const QString& nick);
    // The sender has no stored message left: the main window drops the envelope mark.
    void NoMessagesLeft(const QString& nick);

public Q_SLOTS:
    // A message was stored: one more from this sender becomes reachable with "Další >>".
    void MessageStored();
    void NextMsgButtonClick();
    void OKButtonClick();
    void ReplyButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TAnchoredControl {
        QWidget* Control;
        QRect Design;
        Qt::Edges Anchors;
    };

    void Place(QWidget* control, const QRect& design, Qt::Edges anchors);
    void FormShow();
    void ShowCurrentMessage();
    void ShowReplyControls();
    void DeleteCurrentMessage();
    // The sender's stored message names in the store's order; nothing when the store cannot be read.
    // The names of the sender's messages; nothing when the store cannot be read.
    std::optional<QStringList> MessageNames();

    TMessagingSession& Session;
    QList<TAnchoredControl> AnchoredControls;
};
