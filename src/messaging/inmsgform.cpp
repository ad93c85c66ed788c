#include "messaging/inmsgform.h"

#include "messaging/messagingsession.h"
#include "session/onlinelist.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "widgets/anchors.h"
#include "widgets/fonts.h"
#include "widgets/picturebox.h"
#include "widgets/pictures.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr Qt::Edges LeftTop = Qt::LeftEdge | Qt::TopEdge;
constexpr Qt::Edges AllEdges = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
constexpr Qt::Edges LeftBottom = Qt::LeftEdge | Qt::BottomEdge;
constexpr Qt::Edges RightBottom = Qt::RightEdge | Qt::BottomEdge;

const QString StoreBusyText = QStringLiteral("Uložené zprávy teď nejde přečíst, úložiště má právě otevřené jiný "
                                             "program. Zkuste to prosím za chvíli znovu.");

// Closes the key after a read; a failure there loses nothing the viewer wrote.
void CloseQuietly(TSysReg& store) {
    try {
        store.CloseKey();
    } catch (const std::exception&) {
    }
}

} // namespace

TInMsgForm::TInMsgForm(TMessagingSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowMaximizeButtonHint)
    , Session(session) {
    InitPictures();
    setWindowTitle(QStringLiteral("Příchozí zprávy"));
    setFont(TahomaPixels(11));

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Place(Bevel1, {12, 24, 45, 49}, LeftTop);
    Image1 = new TPictureBox(QStringLiteral("menu-envelope"), this);
    Place(Image1, {16, 28, 37, 41}, LeftTop);

    MsgMemo = new QPlainTextEdit(this);
    MsgMemo->setReadOnly(true);
    MsgMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MsgMemo->setTabChangesFocus(true);
    Place(MsgMemo, {72, 12, 346, 156}, AllEdges);

    NextMsgButton = new QPushButton(QStringLiteral("&Další >>"), this);
    NextMsgButton->setDefault(true);
    NextMsgButton->setEnabled(false);
    Place(NextMsgButton, {76, 183, 80, 25}, LeftBottom);
    ReplyButton = new QPushButton(QStringLiteral("&Odpovědět"), this);
    ReplyButton->setAutoDefault(false);
    Place(ReplyButton, {160, 183, 75, 25}, LeftBottom);
    ReplyKlabosRadioButton = new QRadioButton(QStringLiteral("Na &Klabos"), this);
    ReplyKlabosRadioButton->setChecked(true);
    Place(ReplyKlabosRadioButton, {240, 178, 69, 17}, LeftBottom);
    ReplyClientRadioButton = new QRadioButton(QStringLiteral("Na &klient"), this);
    Place(ReplyClientRadioButton, {240, 194, 69, 17}, LeftBottom);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setAutoDefault(false);
    Place(OKButton, {345, 183, 75, 25}, RightBottom);

    connect(NextMsgButton, &QPushButton::clicked, this, &TInMsgForm::NextMsgButtonClick);
    connect(ReplyButton, &QPushButton::clicked, this, &TInMsgForm::ReplyButtonClick);
    connect(OKButton, &QPushButton::clicked, this, &TInMsgForm::OKButtonClick);

    setMinimumSize(SmallestClientSize);
    resize(DesignClientSize);
    move(DesignPosition);
    // The window sees the keys before its controls do.
    const QList<QWidget*> controls = findChildren<QWidget*>();
    for (QWidget* control : controls) {
        control->installEventFilter(this);
    }
}

void TInMsgForm::Place(QWidget* control, const QRect& design, Qt::Edges anchors) {
    QRect rect = design;
    // The toolkit's fonts run wider than the design's: a radio caption gets the room it needs to the right.
    if (qobject_cast<QRadioButton*>(control)) {
        rect.setWidth(qMax(rect.width(), control->sizeHint().width()));
    }
    AnchoredControls.append({control, rect, anchors});
    control->setGeometry(rect);
}

void TInMsgForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    for (const TAnchoredControl& anchored : AnchoredControls) {
        anchored.Control->setGeometry(AnchoredRect(anchored.Design, anchored.Anchors, DesignClientSize, size()));
    }
}

bool TInMsgForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject(); // nothing is deleted
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TInMsgForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TInMsgForm::FormShow() {
    CurrentMessage.clear();
    ShowCurrentMessage();
}

void TInMsgForm::ShowReplyControls() {
    if (!Session.LoggedIn() || Session.SessionKey().isEmpty()) {
        ReplyButton->setEnabled(false);
        ReplyKlabosRadioButton->setEnabled(false);
        ReplyClientRadioButton->setEnabled(false);
        return;
    }
    ReplyButton->setEnabled(true);
    ReplyKlabosRadioButton->setEnabled(true);
    ReplyClientRadioButton->setEnabled(true);
    const TOnlineList* list = Session.OnlineList();
    const int index = list ? list->IndexOf(Nick) : -1;
    if (index >= 0 && list->DetailsAt(index)->Rooms) {
        ReplyKlabosRadioButton->setChecked(true);
    } else if (index >= 0) {
        ReplyClientRadioButton->setChecked(true);
        ReplyKlabosRadioButton->setEnabled(false);
    } else {
        ReplyClientRadioButton->setChecked(true);
        ReplyKlabosRadioButton->setEnabled(false);
        ReplyClientRadioButton->setEnabled(false);
    }
}

std::optional<QStringList> TInMsgForm::MessageNames() {
    TSysReg& store = SysReg();
    std::optional<QStringList> names;
    try {
        store.CloseKey();
        if (store.OpenKeyToRead(MessagesKeyOf(Nick))) {
            names = store.GetValueNames();
        } else if (store.FailureReason().isEmpty()) {
            names = QStringList(); // no key: nothing stored
        }
    } catch (const std::exception&) {
        names.reset();
    }
    CloseQuietly(store);
    return names;
}

void TInMsgForm::ShowCurrentMessage() {
    ShowReplyControls();
    MsgMemo->clear();
    NextMsgButton->setEnabled(false);
    const std::optional<QStringList> stored = MessageNames();
    // Busy (another program holds the store) is not empty: the messages are still there, and so is their mark.
    MsgMemo->setPlaceholderText(stored ? QString() : StoreBusyText);
    if (!stored || stored->isEmpty()) {
        CurrentMessage.clear();
        if (stored) {
            Q_EMIT NoMessagesLeft(Nick);
        }
        return;
    }
    const QStringList& names = *stored;
    CurrentMessage = names.first();
    TSysReg& store = SysReg();
    try {
        store.CloseKey();
        if (store.OpenKeyToRead(MessagesKeyOf(Nick))) {
            MsgMemo->setPlainText(store.ReadString(CurrentMessage));
        }
    } catch (const std::exception&) {
        // Not readable as text: the memo stays empty, the message can still be passed over.
        MsgMemo->clear();
    }
    CloseQuietly(store);
    NextMsgButton->setEnabled(names.size() > 1);
}

void TInMsgForm::DeleteCurrentMessage() {
    TSysReg& store = SysReg();
    if (!CurrentMessage.isEmpty()) {
        try {
            store.CloseKey();
            if (store.OpenKey(MessagesKeyOf(Nick), false) && store.ValueExists(CurrentMessage)) {
                store.DeleteValue(CurrentMessage);
            }
            store.CloseKey();
        } catch (const std::exception&) {
            // Left in the store: it is shown again the next time.
            CloseQuietly(store);
        }
    }
    ShowCurrentMessage();
}

void TInMsgForm::MessageStored() {
    if (MessageNames().value_or(QStringList()).size() > 1) {
        NextMsgButton->setEnabled(true);
    }
}

void TInMsgForm::NextMsgButtonClick() {
    DeleteCurrentMessage();
}

void TInMsgForm::OKButtonClick() {
    DeleteCurrentMessage();
    accept();
}

void TInMsgForm::ReplyButtonClick() {
    if (ReplyClientRadioButton->isChecked()) {
        Q_EMIT SendClientMessageRequested(Nick);
    } else {
        Q_EMIT SendMessageRequested(Nick);
    }
}
