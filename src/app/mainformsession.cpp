// The session controller of the main window: login, refresh, the session client's events and the error reports.
// Its timers and lights are in mainformtimers.cpp.
#include "app/mainform.h"
#include "app/onlinelistbox.h"
#include "net/httperror.h"
#include "net/neterror.h"
#include "session/protocol.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/clocktimer.h"
#include "store/settings.h"
#include "store/testing.h"
#include "text/codepage.h"
#include "widgets/gauge.h"
#include "widgets/modal.h"
#include "widgets/queuedboxes.h"
#include "widgets/speedbutton.h"

#include <QBuffer>
#include <QCheckBox>
#include <QTabWidget>

namespace {

const QString LoginFailedText = QStringLiteral(
    "Zkontrolujte přihlašovací údaje - jméno a heslo. Je-li vše správně, přihlašte se na server přes WWW prohlížeč "
    "a opište si chybu.");
const QString LoginFailedCaption = QStringLiteral("Vyskytla se chyba v přihlašování");
const QString ConnectFailedCaption = QStringLiteral("Chyba připojování");
const QString ConnectFailedText =
    QStringLiteral("Server korektně neodpověděl.\r\nZkontroluje připojení a nastavení proxy serveru.\r\n\r\n");
const QString ProxyRefusedText = QStringLiteral(
    "Proxy server odmítl přihlašovací jméno nebo heslo.\r\nZkontrolujte nastavení proxy serveru.\r\n\r\n");
constexpr int ProxyAuthenticationRequired = 407;
constexpr qsizetype ReasonShown = 60;

// The reason phrase as the report shows it: a server's own words, kept to plain characters and a short line so that
// nothing it sends can shape the box.
QString PlainReason(const QString& reason) {
    QString plain;
    for (const QChar c : reason.left(ReasonShown)) {
        if (c.isLetterOrNumber() || QStringView(u" -.,:;'()/").contains(c)) {
            plain += c;
        }
    }
    return plain.trimmed();
}

// What the report of a failed request says: the socket's error number, or the status the server (or a proxy on the
// way) answered with; a proxy's 407 is a wrong proxy name or password, which the user can put right.
QString RequestFailureText(quint16 error, int status, const QString& reason) {
    if (error != NetError::ErrorStatus) {
        return ConnectFailedText + QStringLiteral("Chyba: ") + QString::number(error);
    }
    const QString answer = QStringLiteral("Chyba: HTTP %1 %2").arg(status).arg(PlainReason(reason)).trimmed();
    return (status == ProxyAuthenticationRequired ? ProxyRefusedText : ConnectFailedText) + answer;
}

} // namespace

void TMainForm::CreateHttpClients() {
    HTTPClient = new THttpClient(this);
    connect(HTTPClient, &THttpClient::OnSessionConnected, this, &TMainForm::HTTPClientSessionConnected);
    connect(HTTPClient, &THttpClient::OnHeaderEnd, this, &TMainForm::HTTPClientHeaderEnd);
    connect(HTTPClient, &THttpClient::OnDocData, this, &TMainForm::HTTPClientDocData);
    connect(HTTPClient, &THttpClient::OnDocEnd, this, &TMainForm::HTTPClientDocEnd);
    connect(HTTPClient, &THttpClient::OnStateChange, this, &TMainForm::HTTPClientStateChange);
    connect(HTTPClient, &THttpClient::OnRequestDone, this, &TMainForm::HTTPClientRequestDone);
    InMsgHTTPClient = new THttpClient(this);
    for (THttpClient* client : {HTTPClient, InMsgHTTPClient}) {
        client->IdleTimeoutMs = Squeezed(client->IdleTimeoutMs);
        client->RequestDeadlineMs = Squeezed(client->RequestDeadlineMs);
    }
    connect(InMsgHTTPClient, &THttpClient::OnHeaderEnd, this, &TMainForm::InMsgHTTPClientHeaderEnd);
    connect(InMsgHTTPClient, &THttpClient::OnDocData, this, &TMainForm::InMsgHTTPClientDocData);
    connect(InMsgHTTPClient, &THttpClient::OnRequestDone, this, &TMainForm::InMsgHTTPClientRequestDone);
    connect(ConnectSpeedButton, &TSpeedButton::clicked, this, &TMainForm::ConnectSpeedButtonClick);
    // A fault the client ends a request for on its own (a reply line too long for it) is not shown by the client:
    // the request ends with its error number, which is reported as every failed request is, under the same
    // conditions, once.
}

void TMainForm::Connect() {
    if (!HTTPClient || QuitRequested) {
        return; // closing
    }
    HTTPClient->AbortRequest();
    ReplyBuffer.clear();
    SessionReply.Restart();
    RestartTickCounter();
    RefreshTimer->Stop();

    if (Settings.LoginName.isEmpty() || Settings.LoginPassword.isEmpty()) {
        if (SettingsForm && isActiveWindow()) {
            SettingsForm->PageControl->setCurrentWidget(SettingsForm->ServerTabSheet);
            if (TModal::ExecDialog(*SettingsForm) == QDialog::Rejected) {
                SwitchAlwaysReconnectOff();
            }
        }
        return;
    }
    if (Settings.LoginName.compare(QLatin1String("Guest"), Qt::CaseInsensitive) == 0) {
        if (Settings.ReportNetworkErrors) {
            SwitchAlwaysReconnectOff();
            ShowError(QStringLiteral("Nemůžete se přihlásit jako host."), QStringLiteral("Chybný login"));
        }
        return;
    }

    // Switching the proxy off takes effect at once, not only after a restart.
    HTTPClient->Proxy = Settings.UsingProxy ? Settings.ProxyServer : QString();
    HTTPClient->ProxyPort = QString::number(Settings.ProxyPort);
    HTTPClient->ProxyUsername = Settings.UsingProxyAuthentization ? Settings.ProxyLoginName : QString();
    HTTPClient->ProxyPassword = Settings.UsingProxyAuthentization ? Settings.ProxyPassword : QString();

    Connecting = true;
    if (!SessionKey.isEmpty()) {
        SendPeopleRequest();
    } else {
        LoginPhase = 0;
        SendLogin();
    }
}

void TMainForm::SendLogin() {
    SessionKey.clear();
    LoginRequestRunning = true;
    ReplyBuffer.clear();
    SessionReply.Restart();
    StartPost(*HTTPClient, SessionBody, LoginRequestBody(Settings.LoginName, Settings.LoginPassword));
}

bool TMainForm::SendPeopleRequest() {
    LoginRequestRunning = false;
    ReplyBuffer.clear();
    SessionReply.Restart();
    const QStringList watched = SettingsForm ? SettingsForm->UserCheckListBox->Nicks() : QStringList();
    return StartPost(*HTTPClient, SessionBody, PeopleRequestBody(Settings.LoginName, SessionKey, watched));
}

bool TMainForm::StartPost(THttpClient& client, QBuffer*& body, const QByteArray& bytes) {
    delete body;
    body = new QBuffer(this);
    body->setData(bytes);
    body->open(QIODevice::ReadOnly);
    client.PostBody = body;
    client.URL = ServiceEndpoint();
    try {
        // Ready: a request of the session client starts after its abort or from the end of the one before, and
        // retrieval waits for the session client (RetrieveInMessages).
        client.StartPost();
    } catch (const EHttpError& failure) {
        // Should it be busy after all, the request counts as failed rather than escaping the handler.
        ShowError(failure.Message, ConnectFailedCaption);
        return false;
    }
    ++(&client == HTTPClient ? SessionPostsPending : InMsgPostsPending);
    return true;
}

void TMainForm::ResetConnection() {
    ConnectSpeedButton->setEnabled(false);
    // An abort leaves a client Ready on return: nothing of its request goes on, and nothing needs waiting for.
    if (HTTPClient) {
        HTTPClient->AbortRequest();
    }
    if (InMsgHTTPClient) {
        InMsgHTTPClient->AbortRequest();
    }
    CancelWaitingRetrieval();
    // Closing (the session client is gone): the button stays disabled.
    ConnectSpeedButton->setEnabled(HTTPClient != nullptr);
    ProgressGauge->SetProgress(ProgressGauge->MinValue());
    LoggedIn = false;
    Transferring = false;
    Connecting = false;
    OnlineListBox->viewport()->update();
}

void TMainForm::ShowError(const QString& text, const QString& caption) {
    ErrorBoxes->Queue(caption, text, QMessageBox::Critical);
}

void TMainForm::SwitchAlwaysReconnectOff() {
    Settings.AlwaysReconnect = false;
    if (SettingsForm) {
        SettingsForm->AlwaysReconnectCheckBox->setChecked(false);
    }
    StateChanged(); // no reconnect is pending any more
}

void TMainForm::ReportRequestFailure(quint16 error) {
    // Read before the reset: the status is the ended request's.
    const QString text = RequestFailureText(error, HTTPClient->StatusCode(), HTTPClient->ReasonPhrase());
    ResetConnection();
    if (Settings.ReportNetworkErrors || (ConnectionWanted && !Settings.AlwaysReconnect)) {
        SwitchAlwaysReconnectOff();
        ShowError(text, ConnectFailedCaption);
    }
}

void TMainForm::ConnectSpeedButtonClick() {
    if (Transferring || Connecting) {
        if (Connecting) {
            SwitchAlwaysReconnectOff();
        }
        ResetConnection();
        ConnectionWanted = false;
        return;
    }
    ConnectionWanted = true;
    Connect();
}

void TMainForm::ConnectMsg() {
    ConnectionWanted = true;
    // After the events already waiting (the window's first paint and activation): the connect may open the settings
    // dialog over an active window.
    QMetaObject::invokeMethod(this, &TMainForm::Connect, Qt::QueuedConnection);
}

void TMainForm::HTTPClientSessionConnected() {
    Connecting = false;
    Transferring = true;
}

void TMainForm::HTTPClientHeaderEnd() {
    SessionReply.HeaderEnded = true;
}

void TMainForm::HTTPClientDocData(const char* data, int length) {
    if (SessionReply.TooLarge) {
        return;
    }
    SessionReply.BodyBytes += length;
    if (SessionReply.BodyBytes > SessionReplyLimit) {
        // A reply that never ends must not eat the memory: drop what came and end the request as failed.
        SessionReply.TooLarge = true;
        ReplyBuffer = QString();
        HTTPClient->AbortRequest();
        return;
    }
    const int progress = ProgressGauge->Progress();
    ProgressGauge->SetProgress(progress >= ProgressGauge->MaxValue() ? ProgressGauge->MinValue() : progress + 1);
    ReplyBuffer += FromCp1250(QByteArrayView(data, length));
}

void TMainForm::HTTPClientDocEnd() {
    // Nothing yet: the end of the body is not yet the end of the request. Whether the reply arrived whole (and not
    // cut off by a timeout, a reset or an abort) is known at OnRequestDone, where it is evaluated.
}

void TMainForm::HTTPClientStateChange() {}

void TMainForm::HTTPClientRequestDone(THttpRequest rqType, quint16 error) {
    SessionRequestDone(rqType, error);
    // The session client is done: a retrieval asked for meanwhile goes out now.
    StartWaitingRetrieval();
}

void TMainForm::SessionRequestDone(THttpRequest rqType, quint16 error) {
    SessionPostsPending = qMax(0, SessionPostsPending - 1);
    if (SessionPostsPending > 0 || !HTTPClient) {
        return; // the end of a request aborted for a newer one, or the window is closing
    }
    if (SessionReply.TooLarge) {
        rqType = THttpRequest::Post;
    }
    error = SessionReply.Outcome(error, HTTPClient->ContentLength(), HTTPClient->StatusCode());
    const bool whole = error == NetError::None;
    if (LoginRequestRunning) {
        LoginRequestRunning = false;
        if (whole) {
            LoginReplyArrived();
        }
    } else {
        if (whole && LoginPhase == 1) {
            // The first whole people reply completes the login, also an empty one. A stopped, failed or missing
            // reply leaves the login open: the next connect asks for the list again with the key held.
            EnterRefreshing();
        }
        if (LoginPhase == 2) {
            if (whole) {
                RecordTestingEvent(QStringLiteral("people-reply"));
            }
            PeopleRequestEnded(whole);
        }
    }
    if (IsTransportFailure(rqType, error)) {
        ReportRequestFailure(error);
    }
}

void TMainForm::LoginReplyArrived() {
    SessionKey = CutSessionKey(ReplyBuffer);
    if (SessionKey.isEmpty()) {
        ResetConnection();
        SwitchAlwaysReconnectOff();
        // Shown whatever ReportNetworkErrors says: without it the user would never learn why nothing happens.
        ShowError(LoginFailedText, LoginFailedCaption);
        return;
    }
    LoginPhase = 1;
    if (!SendPeopleRequest()) {
        ResetConnection();
    }
}

void TMainForm::EnterRefreshing() {
    LoggedIn = true;
    ArmRefresh();
    LoginPhase = 2;
}

void TMainForm::PeopleRequestEnded(bool whole) {
    if (whole) {
        UpdateOnlineList();
        if (Transferring) {
            LoggedIn = true;
        }
    }
    Transferring = false;
    ProgressGauge->SetProgress(ProgressGauge->MinValue());
    ArmRefresh();
}
