#include "app/mainform.h"

#include "app/abouttokickform.h"
#include "app/goodbyeform.h"
#include "app/notifyform.h"
#include "app/onlinelistbox.h"
#include "app/popupplacement.h"
#include "app/soundplayer.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/clocktimer.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "store/testing.h"
#include "widgets/anchors.h"
#include "widgets/desktop.h"
#include "widgets/fonts.h"
#include "widgets/gauge.h"
#include "widgets/imagelists.h"
#include "widgets/modal.h"
#include "widgets/picturebox.h"
#include "widgets/pictures.h"
#include "widgets/queuedboxes.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QUrl>

namespace {

constexpr int ProgressGaugeMaximum = 15;
const QString HomePage = QStringLiteral("http://" CVRLIK_HOMEPAGE_HOST "/velmor/cvrlik");

constexpr Qt::Edges LeftTop = Qt::LeftEdge | Qt::TopEdge;
constexpr Qt::Edges LeftTopRight = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge;
constexpr Qt::Edges TopRight = Qt::TopEdge | Qt::RightEdge;
constexpr Qt::Edges AllEdges = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
constexpr Qt::Edges LeftRightBottom = Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge;
constexpr Qt::Edges LeftBottom = Qt::LeftEdge | Qt::BottomEdge;
constexpr Qt::Edges RightBottom = Qt::RightEdge | Qt::BottomEdge;

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    InitPictures();
    setWindowTitle(QStringLiteral("chat"));
    setWindowIcon(PictureIcon(QStringLiteral("cvrlik")));
    setFont(TahomaPixels(11));
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    resize(DesignClientSize);
    setMinimumSize(MinimumOuterSize);

    MenuImageList = CreateMenuImageList();
    MiscImageList = CreateMiscImageList();
    CreateControls();
    CreateTrayIcon();
    ErrorBoxes = new TQueuedBoxes(this);
    CreateHttpClients();
    FormCreate();
    InstallListPainting();
    CreateNickMenu();
    ConnectTrayAndNotices();
}

TMainForm::~TMainForm() = default;

void TMainForm::CreateControls() {
    Image1 = new TPictureBox(QStringLiteral("stripes"), this);
    Place(Image1, {8, 8, 58, 25}, LeftTopRight);

    GoChatSpeedButton = new TSpeedButton(this);
    GoChatSpeedButton->SetGlyph(PicturePixmap(QStringLiteral("logo"), {115, 34}), TSpeedButton::TGlyphPlace::RightEnd);
    GoChatSpeedButton->setToolTip(QString());
    // The buttons show pictures only; a screen reader says these names.
    GoChatSpeedButton->setAccessibleName(QStringLiteral("Domovská stránka Cvrlika"));
    Place(GoChatSpeedButton, {64, 4, 120, 39}, TopRight);
    connect(GoChatSpeedButton, &TSpeedButton::clicked, this, &TMainForm::GoChatSpeedButtonClick);

    OnlineListBox = new TOnlineListBox(this);
    OnlineListBox->setFont(TahomaPixels(12));
    QPalette listColours = OnlineListBox->palette();
    listColours.setColor(QPalette::Base, QColor(128, 128, 128));
    listColours.setColor(QPalette::Text, QColor(192, 192, 192));
    OnlineListBox->setPalette(listColours);
    Place(OnlineListBox, {4, 44, 179, 293}, AllEdges);

    LinesImage = new TPictureBox(QStringLiteral("stripes"), this);
    Place(LinesImage, {39, 346, 63, 24}, LeftRightBottom);

    ConnectSpeedButton = new TSpeedButton(this);
    ConnectSpeedButton->SetGlyph(PicturePixmap(QStringLiteral("connect"), {20, 18}), TSpeedButton::TGlyphPlace::Centre);
    Place(ConnectSpeedButton, {5, 347, 37, 22}, LeftBottom);
    ConnectSpeedButton->setAccessibleName(QStringLiteral("Připojit nebo odpojit"));
    // Connecting and disconnecting are the session's: ConnectSpeedButtonClick.

    SettingsSpeedButton = new TSpeedButton(this);
    SettingsSpeedButton->SetCaption(QStringLiteral("M E N U  "), TahomaPixels(8, true), Qt::black);
    SettingsSpeedButton->SetGlyph(PicturePixmap(QStringLiteral("menu-glyph"), {12, 12}),
                                  TSpeedButton::TGlyphPlace::RightOfCaption);
    SettingsSpeedButton->SetFaceColour(QColor(212, 208, 200));
    SettingsSpeedButton->setAccessibleName(QStringLiteral("Nastavení"));
    Place(SettingsSpeedButton, {113, 347, 69, 22}, RightBottom);
    connect(SettingsSpeedButton, &TSpeedButton::clicked, this, &TMainForm::SettingsSpeedButtonClick);

    ProgressGauge = new TGauge(Qt::black, QColor(249, 198, 98), this);
    ProgressGauge->SetRange(0, ProgressGaugeMaximum);
    Place(ProgressGauge, {6, 378, 173, 1}, LeftRightBottom);

    AlwaysReconnectLabel = new QLabel(QStringLiteral("NET"), this);
    AlwaysReconnectLabel->setFont(TahomaPixels(9, true));
    QPalette red = AlwaysReconnectLabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    AlwaysReconnectLabel->setPalette(red);
    AlwaysReconnectLabel->hide();
    Place(AlwaysReconnectLabel, {12, 373, 24, 10}, LeftBottom);

    GreenDiodShape = new TShape(QColor(0, 255, 0), this);
    GreenDiodShape->hide();
    Place(GreenDiodShape, {3, 375, 7, 7}, LeftBottom);
    RedDiodShape = new TShape(QColor(255, 0, 0), this);
    RedDiodShape->hide();
    Place(RedDiodShape, {32, 375, 7, 7}, LeftBottom);

    CreateTimers();

    SoundPlayer = new TSoundPlayer(this);
    connect(SoundPlayer, &TSoundPlayer::Failed, this, [this] { SoundUnavailable = true; });
}

void TMainForm::CreateTrayIcon() {
    TrayPopupMenu = new QMenu(this);
    EndSession = TrayPopupMenu->addAction(QStringLiteral("&Konec"));
    connect(EndSession, &QAction::triggered, this, &TMainForm::EndSessionClick);
    // Made also while the desktop has no tray (a panel started after the program at login): the icon goes into the
    // tray once one appears. Until then the window itself is the way back to the program: it is shown at start and
    // does not hide.
    TrayIcon = new QSystemTrayIcon(MiscImageList.value(TrayNormalImage), this);
    TrayIcon->setToolTip(QStringLiteral("Cvrlik - klient pro Klabos"));
    TrayIcon->setContextMenu(TrayPopupMenu);
    TrayIcon->show();
}

void TMainForm::Place(QWidget* control, const QRect& design, Qt::Edges anchors) {
    AnchoredControls.append({control, design, anchors});
    control->setGeometry(AnchoredRect(design, anchors, DesignClientSize, size()));
}

void TMainForm::SetSettingsForm(TSettingsForm* form) {
    SettingsForm = form;
    if (SettingsForm) {
        connect(SettingsForm, &TSettingsForm::LoginNameChanged, this, &TMainForm::ClearSessionKey);
        connect(SettingsForm, &TSettingsForm::SettingsApplied, this, &TMainForm::SettingsApplied);
    }
}

void TMainForm::SetGoodbyeForm(TGoodbyeForm* form) {
    GoodbyeForm = form;
}

void TMainForm::FormCreate() {
    FirstShow = true;
    // Both windows are created without an owner, so they can show above whatever is active.
    NotifyForm = std::make_unique<TNotifyForm>();
    AboutToKickForm = std::make_unique<TAboutToKickForm>();
    ReplyNicks.clear();
    SessionKey.clear();
    NotifyCounter = 1;
    ArrivalList.Clear();
    ResetConnection();
    // Nothing is due and nothing blinks yet: the timers wait for the session's state to ask for them.
    RefreshTimer->Stop();
    StateChanged();
    LoggedIn = false;
    ConnectionWanted = false;
    OwnIdle = 0;
    InMsgBusy = false;
    LastMsgId = QStringLiteral("0");
    // AppMinimize: changeEvent() sees the application's minimize as the window's state change.
    RestoreGeometry();
    QCoreApplication::postEvent(this, new QEvent(MsgCreated));
}

void TMainForm::RestoreGeometry() {
    TSysReg& store = SysReg();
    store.CloseKey();
    GeometryUnread = !store.OpenKeyToRead(ProductKey, true);
    RestoredFully = false;
    // Each value is applied as soon as it is read; the first missing or mistyped one ends the restore, and the
    // window goes to the centre of the screen with what was applied so far.
    try {
        const QRect desktop = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->virtualGeometry()
                                                               : QRect(0, 0, 4096, 4096);
        const int left = store.ReadInteger(QStringLiteral("WindowLeft"));
        move(left, y());
        const int top = store.ReadInteger(QStringLiteral("WindowTop"));
        move(x(), top);
        StoredPlace = QPoint(left, top);
        // A size larger than the whole desktop is no size the user gave the window.
        const int storedWidth = qMin(store.ReadInteger(QStringLiteral("WindowWidth")), desktop.width());
        PendingOuterWidth = storedWidth;
        resize(storedWidth - FrameExtra().width(), height());
        const int storedHeight = qMin(store.ReadInteger(QStringLiteral("WindowHeight")), desktop.height());
        PendingOuterHeight = storedHeight;
        resize(width(), storedHeight - FrameExtra().height());
        RestoredFully = true;
    } catch (const ESysRegError&) {
    }
    try {
        store.CloseKey();
    } catch (const ESysRegError&) {
    }

    // A window restored wholly outside every screen (a screen since removed) could never be reached again.
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens()) {
        onScreen = onScreen || screen->geometry().intersects(frameGeometry());
    }
    if (!RestoredFully || !onScreen) {
        PlaceAtScreenCentre();
    }
}

void TMainForm::PlaceAtScreenCentre() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}

QSize TMainForm::FrameExtra() const {
    return frameGeometry().size() - size();
}

void TMainForm::FitFrame() {
    // The stored sizes are outer sizes; the window manager tells the frame's size only once the window is shown.
    const QSize extra = FrameExtra();
    if (FrameFitted || extra.isNull() || !isVisible()) {
        return;
    }
    FrameFitted = true;
    setMinimumSize(MinimumOuterSize - extra);
    resize(PendingOuterWidth ? *PendingOuterWidth - extra.width() : width(),
           PendingOuterHeight ? *PendingOuterHeight - extra.height() : height());
}

QRect TMainForm::StoredGeometry() const {
    // Under Wayland the compositor places the window and tells no program where: the place read at start stays for
    // the next start under X11, or the screen's corner when none was stored.
    if (!TPopupPlacement::ProgramPlacesWindows()) {
        return QRect(StoredPlace.value_or(QPoint(0, 0)), frameGeometry().size());
    }
    return frameGeometry();
}

void TMainForm::FormDestroy() {
    ArrivalList.Clear();
    NotifyForm.reset();
    AboutToKickForm.reset();
    ReplyNicks.clear();
    if (GeometryUnread) {
        return; // the place the window was given is no reason to overwrite the one stored
    }
    const QRect geometry = StoredGeometry();
    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(ProductKey, true);
    store.WriteInteger(QStringLiteral("WindowLeft"), geometry.left());
    store.WriteInteger(QStringLiteral("WindowTop"), geometry.top());
    store.WriteInteger(QStringLiteral("WindowWidth"), geometry.width());
    store.WriteInteger(QStringLiteral("WindowHeight"), geometry.height());
    store.CloseKey();
}

void TMainForm::FormShow() {
    FirstShow = false;
    if (SettingsForm) {
        const TUserCheckListBox* watched = SettingsForm->UserCheckListBox;
        TOnlineList& entries = OnlineListBox->Entries();
        for (int index = 0; index < watched->Count(); ++index) {
            const QString nick = watched->NickAt(index);
            if (entries.IndexOf(nick) < 0) {
                entries.AddOffline(nick);
            }
        }
        OnlineListBox->EntriesChanged();
    }
    SoundUnavailable = false;
    if (!SoundPlayer->Open(FindMessageSound())) {
        SoundUnavailable = true;
    }
    MarkStoredMessages();
}

void TMainForm::FormCloseQuery() {
    // A report still waiting would open over the farewell window, about a session that is ending anyway.
    ErrorBoxes->Stop();
    QuitRequested = true;
    ResetConnection();
    // Nothing is due any more: no refresh, no reconnect, no mark to end.
    ConnectionWanted = false;
    RefreshTimer->Stop();
    ArrivalTimer->Stop();
    // No session event may arrive while closing. The client itself goes only once control is back in the event
    // loop: the close may come while one of its handlers is on the stack (an error box's own event loop inside it),
    // and that handler must return into a live object.
    if (HTTPClient) {
        HTTPClient->disconnect(this);
        HTTPClient->deleteLater();
        HTTPClient = nullptr;
    }
    setEnabled(false);
    if (GoodbyeForm) {
        GoodbyeForm->show();
    }
}

void TMainForm::EndSessionClick() {
    RequestQuit();
}

void TMainForm::RequestQuit() {
    if (QuitRequested) {
        return;
    }
    QuitRequested = true;
    ResetConnection();
    TModal::Quit(this, [this] { close(); });
}

void TMainForm::ClearSessionKey() {
    SessionKey.clear();
}

void TMainForm::GoChatSpeedButtonClick() {
    TDesktop::OpenUrl(QUrl(HomePage));
}

void TMainForm::SettingsSpeedButtonClick() {
    if (!SettingsForm) {
        return;
    }
    const bool wasSuspended = Settings.SuspendNotifications;
    TModal::ExecDialog(*SettingsForm);
    if (wasSuspended && !Settings.SuspendNotifications) {
        // Announce at the next list update rather than after a whole round of refreshes.
        NotifyCounter = Settings.NotifyDivisor;
    }
}

void TMainForm::FormResize() {
    // As many list columns as the minimum width fits into the window's width.
    OnlineListBox->SetColumns(frameGeometry().width() / MinimumOuterSize.width());
}

void TMainForm::AppMinimize() {
    Q_EMIT AppMinimized();
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == MsgCreated) {
        return true;
    }
    if (event->type() == MsgConnectNow) {
        ConnectMsg();
        return true;
    }
    if (event->type() == QEvent::WindowDeactivate) {
        WMActivate();
    }
    const bool handled = QWidget::event(event);
    if (!FrameFitted &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        FitFrame();
    }
    return handled;
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (FirstShow) {
        FormShow();
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
    Q_EMIT FormClosed();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (const TAnchoredControl& anchored : AnchoredControls) {
        anchored.Control->setGeometry(AnchoredRect(anchored.Design, anchored.Anchors, DesignClientSize, size()));
    }
    FormResize();
}

void TMainForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!Painted) {
        Painted = true;
        RecordTestingEvent(QStringLiteral("window-painted"));
    }
}

void TMainForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && windowState().testFlag(Qt::WindowMinimized)) {
        AppMinimize();
    }
}
