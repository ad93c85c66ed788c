#pragma once

#include "app/arrivalrecord.h"

#include <QEvent>
#include <QIcon>
#include <QList>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class TGauge;
class TGoodbyeForm;
class TOnlineListBox;
class TPictureBox;
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

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Set by the program entry once the other two lifelong windows exist.
    void SetSettingsForm(TSettingsForm* form);
    void SetGoodbyeForm(TGoodbyeForm* form);

    // Ends the run: frees what the window owns and stores its geometry. A failed store write throws.
    void FormDestroy();
    // Aborts whatever the session has running and clears its flags; the session key and the list stay.
    void ResetConnection();
    // The error report of the session and the send dialogs: a modal error box owned by this window.
    void ShowError(const QString& text, const QString& caption);
    // Marks the entries whose users have stored messages (filled in with message retrieval).
    void MarkStoredMessages();
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
    QTimer* ControlTimer = nullptr;
    QTimer* RefreshTimer = nullptr;
    TSoundPlayer* SoundPlayer = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr; // none where the desktop has no tray
    QMenu* TrayPopupMenu = nullptr;
    QAction* EndSession = nullptr;
    QList<QIcon> MenuImageList;
    QList<QIcon> MiscImageList;

    // The lifelong windows created after this one.
    TSettingsForm* SettingsForm = nullptr;
    TGoodbyeForm* GoodbyeForm = nullptr;

    // Session state.
    bool FirstShow = true;
    QStringList ReplyNicks;
    QList<TArrivalRecord> ArrivalList;
    QString SessionKey;
    int NotifyCounter = 1;
    bool LoggedIn = false;
    bool ConnectionWanted = false;
    bool Connecting = false;
    bool Transferring = false;
    int OwnIdle = 0;
    bool InMsgBusy = false;
    QString LastMsgId = QStringLiteral("0");
    bool SoundUnavailable = false;

Q_SIGNALS:
    // The window was closed the normal way (after the close query): the event loop should end.
    void FormClosed();
    // The application was minimized: the program ends at once, without the close query.
    void AppMinimized();

public Q_SLOTS:
    void EndSessionClick();
    void ClearSessionKey();
    void GoChatSpeedButtonClick();
    void SettingsSpeedButtonClick();
    void ControlTimerTimer();
    void RefreshTimerTimer();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

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
    void AppMinimize();
    void CreateControls();
    void CreateTrayIcon();
    void Place(QWidget* control, const QRect& design, Qt::Edges anchors);
    void RestoreGeometry();
    void PlaceAtScreenCentre();
    QSize FrameExtra() const;
    void FitFrame();

    QList<TAnchoredControl> AnchoredControls;
    bool RestoredFully = false;
    // The outer sizes the stored geometry asks for, applied to the client area until the frame is known.
    std::optional<int> PendingOuterWidth;
    std::optional<int> PendingOuterHeight;
    bool FrameFitted = false;
};
