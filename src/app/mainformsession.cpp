// The session controller of the main window: login, refresh, the session client's events, the timers, the lights
// and the error reports.
#include "app/mainform.h"
#include "app/onlinelistbox.h"
#include "net/httperror.h"
#include "net/neterror.h"
#include "session/protocol.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/settings.h"
#include "store/testing.h"
#include "text/codepage.h"
#include "widgets/gauge.h"
#include "widgets/imagelists.h"
#include "widgets/modal.h"
#include "widgets/queuedboxes.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <QBuffer>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>

namespace {

// A connect that has not reached the server after this many control-timer ticks is restarted; the same delay
// separates automatic reconnects.
constexpr int ConnectTicksLimit = 40;

const QString LoginFailedText = QStringLiteral(
    "Zkontrolujte přihlašovací údaje - jméno a heslo. Je-li vše správně, přihlašte se na server přes WWW prohlížeč "
    "a opište si chybu.");
const QString LoginFailedCaption = QStringLiteral("Vyskytla se chyba v přihlašování");
const QString ConnectFailedCaption = QStringLiteral("Chyba připojování");

// Waits until the client is Ready, pumping events. False when the client was destroyed meanwhile (the window is
// closing).
bool WaitForReady(const QPointer<THttpClient>& client) {
    while (client && client->State() != THttpState::Ready) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return !client.isNull();
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
    if (!HTTPClient) {
        return; // closing
    }
    HTTPClient->AbortRequest();
    ReplyBuffer.clear();
    SessionReply.Restart();
    TickCounter = 0;
    RefreshTimer->stop();

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
    StartSessionPost(*HTTPClient, SessionBody, LoginRequestBody(Settings.LoginName, Settings.LoginPassword));
}

bool TMainForm::SendPeopleRequest() {
    LoginRequestRunning = false;
    ReplyBuffer.clear();
    SessionReply.Restart();
    const QStringList watched = SettingsForm ? SettingsForm->UserCheckListBox->Nicks() : QStringList();
    return StartSessionPost(*HTTPClient, SessionBody, PeopleRequestBody(Settings.LoginName, SessionKey, watched));
}

bool TMainForm::StartSessionPost(THttpClient& client, QBuffer*& body, const QByteArray& bytes) {
    const QPointer<THttpClient> target(&client);
    delete body;
    body = new QBuffer(this);
    body->setData(bytes);
    body->open(QIODevice::ReadOnly);
    client.PostBody = body;
    client.URL = ServiceEndpoint();
    // Nothing starts while a session request runs.
    if (!WaitForReady(HTTPClient) || !target) {
        return false;
    }
    try {
        target->StartPost();
    } catch (const EHttpError& failure) {
        // Cannot happen after the wait; should it, the request counts as failed rather than escaping the handler.
        ShowError(failure.Message, ConnectFailedCaption);
        return false;
    }
    ++(target == HTTPClient ? SessionPostsPending : InMsgPostsPending);
    return true;
}

void TMainForm::ResetConnection() {
    ConnectSpeedButton->setEnabled(false);
    try {
        if (HTTPClient) {
            HTTPClient->AbortRequest();
            if (!WaitForReady(HTTPClient)) {
                throw std::runtime_error("closing");
            }
        }
        if (InMsgHTTPClient) {
            InMsgHTTPClient->AbortRequest();
            if (!WaitForReady(InMsgHTTPClient)) {
                throw std::runtime_error("closing");
            }
        }
        ConnectSpeedButton->setEnabled(true);
    } catch (const std::exception&) {
        // The button stays disabled until the next complete reset.
    }
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
}

void TMainForm::ReportRequestFailure(quint16 error) {
    ResetConnection();
    if (Settings.ReportNetworkErrors || (ConnectionWanted && !Settings.AlwaysReconnect)) {
        SwitchAlwaysReconnectOff();
        ShowError(QStringLiteral("Server korektně neodpověděl.\r\nZkontroluje připojení a nastavení proxy serveru.\r\n"
                                 "\r\nChyba: ") +
                      QString::number(error),
                  ConnectFailedCaption);
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
    QCoreApplication::processEvents();
    Connect();
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
    SessionPostsPending = qMax(0, SessionPostsPending - 1);
    if (SessionPostsPending > 0 || !HTTPClient) {
        return; // the end of a request aborted for a newer one, or the window is closing
    }
    if (SessionReply.TooLarge) {
        rqType = THttpRequest::Post;
    }
    error = SessionReply.Outcome(error, HTTPClient->ContentLength());
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
    RefreshCounter = 0;
    StartRefreshTimer();
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
    StartRefreshTimer();
}

void TMainForm::StartRefreshTimer() {
    // Started together, the two precise timers keep in step: every refresh tick falls on a control tick, and an
    // idle program wakes five times a second instead of six. The control timer's next tick comes up to one interval
    // later for it, once per refresh, which none of its counts notices.
    if (ControlTimer->isActive()) {
        ControlTimer->start();
    }
    RefreshTimer->start();
}

void TMainForm::RefreshTimerTimer() {
    if (RefreshCounter < Settings.SessionRefresh) {
        ++RefreshCounter;
    } else if (ConnectionWanted) {
        RefreshCounter = 0;
        Connect();
    }
}

qint64 TMainForm::NewArrivalTicks() const {
    // Counted in ticks of the design interval, so that a squeezed clock squeezes the time of a new arrival too.
    return qint64(Settings.StatusRefresh) * 60 * (1000 / ControlTimerInterval);
}

void TMainForm::ControlTimerTimer() {
    QCoreApplication::processEvents();
    CountArrivals();
    BlinkReconnectLabel();
    DriveLightsAndReconnect();
    ShowTrayImage();
}

void TMainForm::CountArrivals() {
    const qint64 newArrival = NewArrivalTicks();
    bool repaint = false;
    for (TArrivalRecord& arrival : ArrivalList) {
        if (arrival.ArrivalTicks < newArrival) {
            ++arrival.ArrivalTicks;
        } else if (arrival.ArrivalTicks == newArrival) {
            ++arrival.ArrivalTicks;
            repaint = true; // no longer shown as newly arrived
        }
    }
    if (repaint) {
        OnlineListBox->viewport()->update();
    }
}

void TMainForm::BlinkReconnectLabel() {
    const bool pending = Settings.AlwaysReconnect && !Transferring && !Connecting && !LoggedIn && ConnectionWanted;
    AlwaysReconnectLabel->setVisible(pending && AlwaysReconnectLabel->isHidden());
}

void TMainForm::DriveLightsAndReconnect() {
    if (Connecting && !Transferring) {
        if (TickCounter > ConnectTicksLimit) {
            TickCounter = 0;
            ResetConnection();
            Connect();
        } else {
            ++TickCounter;
        }
        if (LoggedIn) {
            RedDiodShape->setVisible(RedDiodShape->isHidden());
            GreenDiodShape->show();
        } else {
            const bool greenWasOn = !GreenDiodShape->isHidden();
            GreenDiodShape->setVisible(!greenWasOn);
            RedDiodShape->setVisible(greenWasOn);
        }
    } else if (Connecting && Transferring) {
    } else if (Transferring) {
        RedDiodShape->hide();
        GreenDiodShape->setVisible(GreenDiodShape->isHidden());
    } else if (LoggedIn) {
        GreenDiodShape->show();
        RedDiodShape->hide();
    } else {
        GreenDiodShape->hide();
        RedDiodShape->show();
        if (ConnectionWanted && Settings.AlwaysReconnect) {
            if (TickCounter > ConnectTicksLimit) {
                Connect();
            } else {
                ++TickCounter;
            }
        }
    }
}

void TMainForm::ShowTrayImage() {
    if (HasStoredMessages) {
        SetTrayImage(TrayImage == TrayBlankImage ? TrayMessageImage : TrayBlankImage);
    } else {
        SetTrayImage(TrayNormalImage);
    }
}

void TMainForm::SetTrayImage(int image) {
    if (image == TrayImage) {
        return; // the same look: no needless work for the tray
    }
    TrayImage = image;
    if (TrayIcon) {
        TrayIcon->setIcon(MiscImageList.value(image));
    }
}
