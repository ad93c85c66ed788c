#pragma once

#include "app/replyprogress.h"
#include "app/stateflag.h"
#include "net/httpclient.h"
#include "net/neterror.h"
#include "session/arrivallist.h"

#include <QEvent>
#include <QIcon>
#include <QList>
#include <QRect>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>
#include <optional>

class QAction;
class QBuffer;
class TAboutToKickForm;
class TDesktopNotifier;
class TNotifyForm;
class QLabel;
class QMenu;
class TClockTimer;
struct TArrivalRecord;
struct TEntryLook;
struct TEntryState;
struct TMessageReply;
struct TNickMenuInput;
struct TUserDetails;
enum class TNickAction;
class TGauge;
class TGoodbyeForm;
class TInMsgForm;
class TOnlineListBox;
class TPictureBox;
class TQueuedBoxes;
class TSettingsForm;
class TShape;
class TSoundPlayer;
class TSpeedButton;

// Posted to the main window: connect now (handled by the session) and the window's own creation notice.
inline const QEvent::Type MsgConnectNow = static_cast<QEvent::Type>(QEvent::User + 1);
inline const QEvent::Type MsgCreated = static_cast<QEvent::Type>(QEvent::User + 2);

// The main window: a narrow black window with the on-line list, the connect and menu buttons, the status lamps,
// the progress bar and the tray icon. It lives for the whole run and owns the session's state.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    // The client area when no geometry is stored, and the smallest outer size.
    static constexpr QSize DesignClientSize{188, 387};
    static constexpr QSize MinimumOuterSize{134, 180};
    // One step of the blinking lights, "NET" label and tray icon.
    static constexpr qint64 BlinkStep = 200;
    // A connect that has not reached the server after this much counted time is restarted; as much counted time
    // separates automatic reconnects (milliseconds of the program's clock).
    static constexpr qint64 ConnectTimeLimit = 8400;

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Set by the program entry once the other two lifelong windows exist.
    void SetSettingsForm(TSettingsForm* form);
    void SetGoodbyeForm(TGoodbyeForm* form);

    // Ends the run: frees what the window owns and stores its geometry. A failed store write throws.
    void FormDestroy();
    // The end of the run asked for (a termination signal, "&Konec" in the tray), at any moment: nothing more goes
    // out, the open boxes and dialogs close, and once their exec() calls have returned the window closes the normal
    // way (the close query, the farewell window).
    void RequestQuit();

    // The session (mainformsession.cpp).
    // Starts a login, or a people request with the session key held.
    void Connect();
    // Aborts both HTTP clients (they are idle on return), drops a waiting retrieval and clears the session flags; the
    // key and the list stay.
    void ResetConnection();
    // The error report of the session and the send dialogs: a modal error box owned by this window. The box opens
    // from the event loop once the caller's handler has returned (see TQueuedBoxes); what the caller changes along
    // with the report happens at once.
    void ShowError(const QString& text, const QString& caption);
    // Rebuilds the on-line list from the people reply in ReplyBuffer (mainformlist.cpp).
    void UpdateOnlineList();

    // Time (mainformtimers.cpp). Derives from the session's state what runs: the blinking, the watchdog and the
    // reconnect; every change of a state flag calls it.
    void StateChanged();
    // Arms the arrival timer for the newly-arrived mark that ends first (after the arrival list changed).
    void ArrivalsChanged();
    bool NewlyArrived(const TArrivalRecord& arrival) const;

    // Incoming messages (mainformmessages.cpp).
    // Asks the service for the next message after LastMsgId; nothing while a retrieval runs.
    void RetrieveInMessages();
    // Stores the message of InMsgBuffer, or ends the chain at "-".
    void StoreInMessage();
    // Marks the entries whose users have stored messages, and sounds the message sound while any exist.
    void MarkStoredMessages();
    // The message windows (mainformdialogs.cpp): each is created on demand, shown modally and destroyed when it
    // closes. The caller picks the nick (a menu item's, or the selected entry's).
    void ShowInMsgForm(const QString& nick);
    // The send dialogs, to a chat user and to a client user; without a session key the error report instead.
    void OpenSendMessage(const QString& nick);
    void OpenSendClientMessage(const QString& nick);

    // The list's painting (mainformpaint.cpp): the entry in the row as it stands now, how it looks, and what a
    // screen reader says for it.
    TEntryState OnlineListBoxState(int row);
    TEntryLook OnlineListBoxLook(int row);
    // The nick menu and the list's actions (mainformmenu.cpp). The selected entry's row, -1 for none.
    int SelectedEntry() const;
    QString SelectedNick() const;
    void BuildNickPopupMenu();
    void ReadMessagesClick();
    void EnterRoomClick(const TUserDetails& details);
    void SendMessageClick(const TUserDetails& details);
    void SendClientMessageClick(const TUserDetails& details);
    void CommentClick();
    // `itemChecked`: the item's check mark as the menu showed it; the flag becomes its opposite.
    void NotifyClick(bool itemChecked);
    void RemoveUserClick();
    void AutoLoginClick();
    void AddUserClick();
    void SuppressNotifyClick();
    // The window's coming and going (mainformwindow.cpp): show or hide from the tray; hide when another program
    // becomes active.
    void TrayIconLeftClick();
    void WMActivate();
    void BringToFront();
    bool TrayReachable() const;
    // Whether the desktop has a tray just now; a test on a platform without one puts its answer here.
    static inline bool (*SystemTrayAvailable)() = &QSystemTrayIcon::isSystemTrayAvailable;

    // The outer geometry the window would store now: left, top, width, height.
    QRect StoredGeometry() const;
    // True when the last geometry restore found every value and placed the window by them.
    bool GeometryRestored() const { return RestoredFully; }

    // Controls.
    TPictureBox* Image1 = nullptr;
    TSpeedButton* GoChatSpeedButton = nullptr;
    TOnlineListBox* OnlineListBox = nullptr;
    TPictureBox* LinesImage = nullptr;
    TSpeedButton* ConnectSpeedButton = nullptr;
    TSpeedButton* SettingsSpeedButton = nullptr;
    TGauge* ProgressGauge = nullptr;
    QLabel* AlwaysReconnectLabel = nullptr;
    TShape* GreenDiodShape = nullptr;
    TShape* RedDiodShape = nullptr;
    // Every timer is armed only while something is due: the blinking's next step, the next refresh, the watchdog or
    // reconnect, the end of the first newly-arrived mark.
    TClockTimer* ControlTimer = nullptr;
    TClockTimer* RefreshTimer = nullptr;
    TClockTimer* WatchdogTimer = nullptr;
    TClockTimer* ArrivalTimer = nullptr;
    TSoundPlayer* SoundPlayer = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr; // made at start, whether a tray is there yet or not
    QMenu* TrayPopupMenu = nullptr;
    QAction* EndSession = nullptr;
    QMenu* NickPopupMenu = nullptr; // built afresh on every mouse-up over the list
    TDesktopNotifier* DesktopNotifier = nullptr;
    QList<QIcon> MenuImageList;
    QList<QIcon> MiscImageList;
    THttpClient* HTTPClient = nullptr;      // login and people requests; let go when the window closes
    THttpClient* InMsgHTTPClient = nullptr; // message retrieval
    TQueuedBoxes* ErrorBoxes = nullptr;     // the boxes of ShowError, waiting or open
    std::unique_ptr<TNotifyForm> NotifyForm;
    std::unique_ptr<TAboutToKickForm> AboutToKickForm;

    // The lifelong windows created after this one.
    TSettingsForm* SettingsForm = nullptr;
    TGoodbyeForm* GoodbyeForm = nullptr;
    // The message viewer while it is open (at most one).
    TInMsgForm* InMsgForm = nullptr;

    // Session state.
    bool FirstShow = true;
    QStringList ReplyNicks;
    TArrivalList ArrivalList;
    QString SessionKey;
    int NotifyCounter = 1;
    TStateFlag LoggedIn{[this] { StateChanged(); }};
    TStateFlag ConnectionWanted{[this] { StateChanged(); }};
    TStateFlag Connecting{[this] { StateChanged(); }};
    TStateFlag Transferring{[this] { StateChanged(); }};
    int OwnIdle = 0;
    bool InMsgBusy = false;
    // A retrieval was asked for while the session client was busy: it starts when that client's request is done.
    bool RetrievalWaiting = false;
    QString LastMsgId = QStringLiteral("0");
    // The id of the last message whose reply was cut short, while no later one has been read.
    QString CutMessageId;
    bool SoundUnavailable = false;
    int LoginPhase = 0; // 0: login outstanding; 1: first people request outstanding; 2: refreshing
    QString ReplyBuffer;
    // The time counted since the last Connect in the states where it counts (a connect not yet through, a reconnect
    // pending), and since when it counts now (-1: it stands still).
    qint64 TickCounter = 0;
    qint64 TickCountingSince = -1;
    // When the last people reply was handled: the next refresh is due SessionRefresh + 1 s after it.
    qint64 RefreshFrom = 0;
    QString InMsgBuffer;
    TStateFlag HasStoredMessages{[this] { StateChanged(); }};
    // The index in MiscImageList of the tray image shown now (the blank image and the message image alternate).
    int TrayImage = 0;

    // A session reply larger than this is no list the service would send: the request counts as failed.
    static constexpr qint64 SessionReplyLimit = 8 * 1024 * 1024;
    // The error number such a request is reported with.
    static constexpr quint16 ReplyTooLargeError = NetError::ReplyTooLarge;

Q_SIGNALS:
    // The window was closed the normal way (after the close query): the event loop should end.
    void FormClosed();
    // The application was minimized: the program ends at once, without the close query.
    void AppMinimized();
    // A message was stored; the message viewer, while open, shows it.
    void MessageStored(const QString& sender);

public Q_SLOTS:
    void EndSessionClick();
    void ClearSessionKey();
    void GoChatSpeedButtonClick();
    void SettingsSpeedButtonClick();
    void ConnectSpeedButtonClick();
    void ControlTimerTimer();
    void RefreshTimerTimer();
    void WatchdogTimerTimer();
    void ArrivalTimerTimer();
    // The settings dialog saved new values: a refresh, a reconnect or a mark may be due at another time now.
    void SettingsApplied();
    void OnlineListBoxMouseUp(Qt::MouseButton button, QPoint position);
    void OnlineListBoxDblClick();
    // The keyboard's ways to the list's actions: Enter does what a double click does outside the easy mouse mode,
    // the menu key opens the nick menu below the current entry.
    void OnlineListBoxEnterKey();
    void OnlineListBoxMenuKey();
    void TrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void AnnounceOnDesktop(const QStringList& nicks);
    void MessageOnDesktop(const QString& sender);

    // Events of HTTPClient.
    void HTTPClientSessionConnected();
    void HTTPClientHeaderEnd();
    void HTTPClientDocData(const char* data, int length);
    void HTTPClientDocEnd();
    void HTTPClientStateChange();
    void HTTPClientRequestDone(THttpRequest rqType, quint16 error);
    // Events of InMsgHTTPClient.
    void InMsgHTTPClientHeaderEnd();
    void InMsgHTTPClientDocData(const char* data, int length);
    void InMsgHTTPClientRequestDone(THttpRequest rqType, quint16 error);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct TAnchoredControl {
        QWidget* Control;
        QRect Design;
        Qt::Edges Anchors;
    };

    void FormCreate();
    void FormShow();
    void FormCloseQuery();
    void FormResize();
    void CreateHttpClients();
    void SendLogin();
    bool SendPeopleRequest();
    // Gives the client a fresh body and the endpoint and starts the POST; false when the client refused.
    bool StartPost(THttpClient& client, QBuffer*& body, const QByteArray& bytes);
    void SessionRequestDone(THttpRequest rqType, quint16 error);
    // The retrieval chain: a retrieval asked for while the session client is busy waits for that client's request
    // to be done; a reset drops it.
    void StartRetrieval();
    void StartWaitingRetrieval();
    void CancelWaitingRetrieval();
    // A message that cannot be taken as it came is stepped past, never asked for at every refresh for good: a
    // message stored as far as it could be read (cut: marked so), or one that cannot be read at all skipped; the
    // user is told. A reply cut short counts only when the same message comes cut twice in a row.
    void StoreMessage(const TMessageReply& message, bool cut);
    void StepPastCutMessage(const QString& partial);
    void SkipUnreadableMessage(const QString& id);
    // The whole reply to the login: the session key, or the login failure.
    void LoginReplyArrived();
    // The end of a people request; the list is rebuilt only from a whole reply.
    void PeopleRequestEnded(bool whole);
    void EnterRefreshing();
    void SwitchAlwaysReconnectOff();
    void ReportRequestFailure(quint16 error);
    void ConnectMsg();
    void CreateTimers();
    bool ReconnectPending() const;
    bool Blinking() const;
    void CountTicks();
    void RestartTickCounter();
    void ArmRefresh();
    qint64 RefreshDue() const;
    qint64 NewArrivalMs() const;
    // `step`: a step of the blinking; otherwise only what a new state shows at once.
    void BlinkReconnectLabel(bool step);
    void ShowLights(bool step);
    void ShowTrayImage(bool step);
    void SetTrayImage(int image);
    // The folded paths of the stored senders' keys; none when the store cannot be read.
    std::optional<QStringList> MessageSenderKeys();
    void AppMinimize();
    void CreateControls();
    void CreateTrayIcon();
    void InstallListPainting();
    void CreateNickMenu();
    void ConnectTrayAndNotices();
    TNickMenuInput NickMenuInput() const;
    void RunDoubleClickAction(bool easyMouseMode);
    void RunNickAction(TNickAction action, const TUserDetails& details, bool wasChecked);
    void Place(QWidget* control, const QRect& design, Qt::Edges anchors);
    void RestoreGeometry();
    void PlaceAtScreenCentre();
    QSize FrameExtra() const;
    void FitFrame();

    QList<TAnchoredControl> AnchoredControls;
    QBuffer* SessionBody = nullptr;
    QBuffer* InMsgBody = nullptr;
    // Requests started and not yet ended on each client: an end that arrives while a newer request runs belongs to
    // a request the session aborted itself, and is passed over.
    int SessionPostsPending = 0;
    int InMsgPostsPending = 0;
    // The request on HTTPClient is the login (not a people request).
    bool LoginRequestRunning = false;
    TReplyProgress SessionReply;
    TReplyProgress InMsgReply;
    bool RestoredFully = false;
    bool QuitRequested = false;
    // The store could not be reached when the geometry was to be restored: the geometry is not saved either.
    bool GeometryUnread = false;
    // The outer sizes the stored geometry asks for, applied to the client area until the frame is known.
    std::optional<int> PendingOuterWidth;
    std::optional<int> PendingOuterHeight;
    // The place the store held at start: kept where the window's place cannot be known (Wayland).
    std::optional<QPoint> StoredPlace;
    bool FrameFitted = false;
    bool Painted = false;
};
