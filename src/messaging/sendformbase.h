#pragma once

#include "messaging/messagerequest.h"
#include "net/httpclient.h"

#include <QByteArray>
#include <QDialog>
#include <QRect>

class QBuffer;
class QLabel;
class QLineEdit;
class QPushButton;
class TMessageMemo;
class TMessagingSession;

// What the two send dialogs share: the addressee strip, the message of at most 120 characters with its count, the
// send, stop and cancel buttons, the status line, and one request at a time on the dialog's own HTTP client.
// A reply is read when its request has ended whole; a request that ends without one counts as a reply of none of
// the known texts, so the dialog never waits for ever.
class TSendFormBase : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxMessageLength = 120;
    // The design's client area, before the broadcast area.
    static constexpr QSize DesignClientSize{410, 187};

    // Controls.
    QLabel* NickLabel = nullptr; // the addressee, written by the opener
    QLabel* MsgLabel = nullptr;
    TMessageMemo* MsgMemo = nullptr;
    QLineEdit* CharsRemainingEdit = nullptr;
    QLabel* CharsRemainingLabel = nullptr;
    QPushButton* SendButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QLabel* StatusLabel = nullptr;
    THttpClient* HttpClient = nullptr;

    // The body of the current reply, as far as it is kept.
    QByteArray ReplyText;
    // A request was started and its reply has not been handled yet.
    bool Waiting = false;
    // The user pressed Stop or Cancel (or closed the dialog) during a run.
    bool StopRequested = false;
    // A request or a run of requests is under way.
    virtual bool RunActive() const { return Waiting; }

    // A reply longer than this is none of the service's short answers: no more of it is kept.
    static constexpr qsizetype ReplyKeep = 64;
    // One that grows beyond this is cut off and read as an unknown answer.
    static constexpr qint64 ReplyLimit = 64 * 1024;

public Q_SLOTS:
    virtual void SendButtonClick();
    void StopButtonClick();
    void CancelButtonClick();
    void MsgMemoChange();

    void HttpClientSessionConnected();
    void HttpClientDocData(const char* data, int length);
    void HttpClientRequestDone(THttpRequest rqType, quint16 error);

protected:
    TSendFormBase(TMessagingSession& session, const QString& caption, const QByteArray& actionField, const QFont& font,
                  QWidget* parent);

    // Places a control by the design's pixel geometry; a caption wider than the design (the toolkit's fonts run
    // wider than the design's) widens the control to the right.
    void Place(QWidget* control, const QRect& design);
    // Locks the client area at this size and centres the window on the screen; the frame is the window manager's.
    void SetClientSize(QSize size);

    void ApplyProxySettings();
    // Clears the reply, enables Stop and disables the message and Send.
    void BeginRequest();
    // Builds the body for the addressee and starts the POST. False when the client refused.
    bool PostMessage(const QString& addressee);
    // Stop, Cancel and transport failures: aborts the request and makes the dialog ready for another try.
    void ResetDialog();
    // Re-enables the message and Send (by the text) and disables Stop.
    void EnableEditing();

    // Hooks of the broadcast mode.
    virtual void ReplyHandled(TSendOutcome outcome);
    virtual void TransportFailed();
    virtual void DialogReset();
    // The request's end has been handled and the client is Ready: the next request of a run may start.
    virtual void RequestEnded();
    virtual bool ClosesOnSuccess() const { return true; }
    virtual void FunctionKeyPressed(int key);
    // The addressee whose request leaves the message the least room: the "will not fit" mark is computed for it,
    // and no addressee gets more of the message than that.
    virtual QString MarkAddressee() const;
    void UpdateUnsentMark();

    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    TMessagingSession& Session;

private:
    void HandleReply(TSendOutcome outcome);
    void HandleTransportFailure(quint16 error);
    // How much of the message fits into a request to the mark's addressee.
    qsizetype TextFitting(const QString& message) const;
    void WatchKeysOf(QWidget* widget);

    QByteArray ActionField;
    QBuffer* PostBuffer = nullptr;
    // Requests started whose end has not arrived: the end of a request aborted before a newer one is passed over.
    int PostsPending = 0;
    qint64 ReplyBytes = 0;
    bool ReplyOverlong = false;
};
