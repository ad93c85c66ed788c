#include "messaging/sendformbase.h"

#include "messaging/messagememo.h"
#include "messaging/messagingsession.h"
#include "net/httperror.h"
#include "net/neterror.h"
#include "session/protocol.h"
#include "store/settings.h"
#include "widgets/fonts.h"

#include <QBuffer>
#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {

const QString ReadyStatus = QStringLiteral("Připraven...");
const QString ConnectFailedCaption = QStringLiteral("Chyba připojování");

} // namespace

TSendFormBase::TSendFormBase(TMessagingSession& session, const QString& caption, const QByteArray& actionField,
                             const QFont& font, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
    , Session(session)
    , ActionField(actionField) {
    setWindowTitle(caption);
    setFont(font);

    NickLabel = new QLabel(this);
    NickLabel->setTextFormat(Qt::PlainText);
    NickLabel->setFont(TahomaPixels(15, true));
    NickLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    NickLabel->setIndent(8);
    NickLabel->setAutoFillBackground(true);
    QPalette strip = NickLabel->palette();
    strip.setColor(QPalette::Window, Qt::black);
    strip.setColor(QPalette::WindowText, Qt::yellow);
    NickLabel->setPalette(strip);
    NickLabel->setGeometry(0, 0, DesignClientSize.width(), 25);

    MsgMemo = new TMessageMemo(MaxMessageLength, this);
    MsgLabel = new QLabel(QStringLiteral("&Zpráva:"), this);
    MsgLabel->setBuddy(MsgMemo);
    Place(MsgLabel, {8, 32, 60, 14});
    Place(MsgMemo, {8, 48, 394, 70});

    CharsRemainingEdit = new QLineEdit(QString::number(MaxMessageLength), this);
    CharsRemainingEdit->setReadOnly(true);
    CharsRemainingEdit->setEnabled(false);
    CharsRemainingEdit->setAlignment(Qt::AlignRight);
    Place(CharsRemainingEdit, {8, 125, 33, 21});
    CharsRemainingLabel = new QLabel(QStringLiteral("znaků zbývá"), this);
    Place(CharsRemainingLabel, {46, 128, 70, 14});

    SendButton = new QPushButton(QStringLiteral("&Odeslat"), this);
    SendButton->setDefault(true);
    SendButton->setEnabled(false);
    Place(SendButton, {168, 123, 75, 25});
    StopButton = new QPushButton(QStringLiteral("&Zastavit"), this);
    Place(StopButton, {247, 123, 75, 25});
    CancelButton = new QPushButton(QStringLiteral("Zrušit"), this);
    Place(CancelButton, {327, 123, 75, 25});

    StatusLabel = new QLabel(ReadyStatus, this);
    StatusLabel->setTextFormat(Qt::PlainText);
    StatusLabel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    StatusLabel->setGeometry(8, 160, 394, 19);

    HttpClient = new THttpClient(this);
    connect(HttpClient, &THttpClient::OnSessionConnected, this, &TSendFormBase::HttpClientSessionConnected);
    connect(HttpClient, &THttpClient::OnDocData, this, &TSendFormBase::HttpClientDocData);
    connect(HttpClient, &THttpClient::OnRequestDone, this, &TSendFormBase::HttpClientRequestDone);

    connect(MsgMemo, &QPlainTextEdit::textChanged, this, &TSendFormBase::MsgMemoChange);
    connect(SendButton, &QPushButton::clicked, this, &TSendFormBase::SendButtonClick);
    connect(StopButton, &QPushButton::clicked, this, &TSendFormBase::StopButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TSendFormBase::CancelButtonClick);

    // On show: nothing to stop yet.
    StopButton->setEnabled(false);
    MsgMemo->setFocus();
}

void TSendFormBase::Place(QWidget* control, const QRect& design) {
    QRect rect = design;
    if (qobject_cast<QLabel*>(control) || qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control)) {
        rect.setWidth(qMax(rect.width(), control->sizeHint().width()));
    }
    control->setGeometry(rect);
}

void TSendFormBase::SetClientSize(QSize size) {
    setFixedSize(size);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TSendFormBase::WatchKeysOf(QWidget* widget) {
    widget->installEventFilter(this);
    const QList<QWidget*> children = widget->findChildren<QWidget*>();
    for (QWidget* child : children) {
        child->installEventFilter(this);
    }
}

bool TSendFormBase::eventFilter(QObject* watched, QEvent* event) {
    // The dialog sees Esc and the function keys before whichever control has the focus.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
        if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
            FunctionKeyPressed(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSendFormBase::showEvent(QShowEvent* event) {
    WatchKeysOf(this);
    QDialog::showEvent(event);
}

void TSendFormBase::FunctionKeyPressed(int key) {
    Q_UNUSED(key);
}

void TSendFormBase::MsgMemoChange() {
    const qsizetype length = MsgMemo->toPlainText().size();
    SendButton->setEnabled(length > 0 && !Waiting && !RunActive());
    CharsRemainingEdit->setText(QString::number(qMax<qsizetype>(0, MaxMessageLength - length)));
    UpdateUnsentMark();
}

QString TSendFormBase::MarkAddressee() const {
    return NickLabel->text();
}

qsizetype TSendFormBase::TextFitting(const QString& message) const {
    return MessageRequestBody(ActionField, Settings.LoginName, Session.SessionKey(), MarkAddressee(), message).TextSent;
}

void TSendFormBase::UpdateUnsentMark() {
    const QString message = MsgMemo->toPlainText();
    const qsizetype fitting = TextFitting(message);
    MsgMemo->MarkUnsent(fitting < message.size() ? fitting : -1);
}

void TSendFormBase::ApplyProxySettings() {
    // Taken at every send, so a proxy switched off takes effect at once.
    HttpClient->Proxy = Settings.UsingProxy ? Settings.ProxyServer : QString();
    HttpClient->ProxyPort = QString::number(Settings.ProxyPort);
    HttpClient->ProxyUsername = Settings.UsingProxyAuthentization ? Settings.ProxyLoginName : QString();
    HttpClient->ProxyPassword = Settings.UsingProxyAuthentization ? Settings.ProxyPassword : QString();
}

void TSendFormBase::SendButtonClick() {
    if (Waiting || RunActive() || MsgMemo->toPlainText().isEmpty()) {
        return;
    }
    ApplyProxySettings();
    StopRequested = false;
    BeginRequest();
    PostMessage(NickLabel->text());
}

void TSendFormBase::BeginRequest() {
    ReplyText.clear();
    ReplyBytes = 0;
    ReplyOverlong = false;
    StopButton->setEnabled(true);
    MsgMemo->setEnabled(false);
    SendButton->setEnabled(false);
}

bool TSendFormBase::PostMessage(const QString& addressee) {
    // What the mark leaves unmarked, also to an addressee with room for more.
    const QString message = MsgMemo->toPlainText();
    const TMessageBody body = MessageRequestBody(ActionField, Settings.LoginName, Session.SessionKey(), addressee,
                                                 message.left(TextFitting(message)));
    delete PostBuffer;
    PostBuffer = new QBuffer(this);
    PostBuffer->setData(body.Body);
    PostBuffer->open(QIODevice::ReadOnly);
    HttpClient->PostBody = PostBuffer;
    HttpClient->URL = ServiceEndpoint();
    try {
        // The client is Ready: every request of the dialog has ended (or was aborted, which leaves it Ready) before
        // the next one starts.
        HttpClient->StartPost();
    } catch (const EHttpError& failure) {
        // Should it be busy after all, the user learns why nothing was sent.
        EnableEditing();
        Session.ShowError(failure.Message, ConnectFailedCaption);
        return false;
    }
    ++PostsPending;
    Waiting = true;
    StatusLabel->setText(QStringLiteral("Hledá se server..."));
    return true;
}

void TSendFormBase::HttpClientSessionConnected() {
    if (Waiting) {
        StatusLabel->setText(QStringLiteral("Připojeno..."));
    }
}

void TSendFormBase::HttpClientDocData(const char* data, int length) {
    if (!Waiting || ReplyOverlong) {
        return;
    }
    ReplyBytes += length;
    if (ReplyBytes > ReplyLimit) {
        // No answer of the service is this long: read as an unknown one, and the rest is not waited for.
        ReplyOverlong = true;
        HandleReply(TSendOutcome::NoRights);
        HttpClient->AbortRequest();
        return;
    }
    // One byte beyond the longest answer is enough to tell that it is none of them.
    const qsizetype room = ReplyKeep + 1 - ReplyText.size();
    if (room > 0) {
        ReplyText.append(data, qMin<qsizetype>(length, room));
    }
}

void TSendFormBase::HttpClientRequestDone(THttpRequest rqType, quint16 error) {
    PostsPending = qMax(0, PostsPending - 1);
    if (PostsPending > 0) {
        return; // the end of a request that was aborted before the one now running
    }
    if (Waiting) {
        if (rqType == THttpRequest::Post && error != NetError::None && error != NetError::Aborted) {
            HandleTransportFailure(error);
        } else {
            // Also a request that ended without any document (an empty reply, an HTTP error without a body): an
            // answer of none of the known texts, so the user can send again.
            HandleReply(ReplyText.size() > ReplyKeep ? TSendOutcome::NoRights : SendOutcomeOf(ReplyText));
        }
    }
    // No request of the dialog runs now and the client is Ready: a run goes on from here.
    RequestEnded();
}

void TSendFormBase::HandleReply(TSendOutcome outcome) {
    ReplyHandled(outcome);
    StatusLabel->setText(SendStatusText(outcome));
    Waiting = false;
    EnableEditing();
    if (outcome == TSendOutcome::Sent && ClosesOnSuccess()) {
        accept();
    }
}

void TSendFormBase::ReplyHandled(TSendOutcome outcome) {
    Q_UNUSED(outcome);
}

void TSendFormBase::HandleTransportFailure(quint16 error) {
    if (QCheckBox* reconnect = Session.AlwaysReconnectCheckBox()) {
        reconnect->setChecked(false);
    }
    TransportFailed();
    ResetDialog();
    // The report's box opens once the client's handler has returned (the session queues it).
    Session.ShowError(
        QStringLiteral(
            "Server korektně neodpověděl.\r\nZkontroluje připojení a nastavení proxy serveru.\r\n\r\nChyba: ") +
            QString::number(error),
        ConnectFailedCaption);
}

void TSendFormBase::TransportFailed() {}

void TSendFormBase::RequestEnded() {}

void TSendFormBase::EnableEditing() {
    StopButton->setEnabled(false);
    MsgMemo->setEnabled(true);
    SendButton->setEnabled(!MsgMemo->toPlainText().isEmpty());
}

void TSendFormBase::ResetDialog() {
    try {
        // Ready on return: nothing of the request goes on.
        HttpClient->AbortRequest();
    } catch (...) {
        // Whatever went wrong, the dialog is ready for the user again.
    }
    Waiting = false;
    EnableEditing();
    StatusLabel->setText(ReadyStatus);
    DialogReset();
}

void TSendFormBase::DialogReset() {}

void TSendFormBase::StopButtonClick() {
    StopRequested = true;
    ResetDialog();
}

void TSendFormBase::CancelButtonClick() {
    StopRequested = true;
    ResetDialog();
    reject();
}

void TSendFormBase::done(int result) {
    // Closed while a request runs (Esc, the close box, a success during a run): nothing more goes out.
    if (Waiting || RunActive()) {
        StopRequested = true;
        ResetDialog();
    }
    QDialog::done(result);
}
