// Incoming messages: the retrieval chain on InMsgHTTPClient, the message store and the marks on the list.
#include "app/mainform.h"
#include "app/onlinelistbox.h"
#include "app/soundplayer.h"
#include "net/neterror.h"
#include "session/protocol.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "text/codepage.h"
#include "widgets/desktop.h"
#include "widgets/queuedboxes.h"

#include <QBuffer>
#include <QSet>
#include <optional>
#include <utility>

namespace {

// The most of a message reply kept: a message longer than any the service sends is stored up to here, marked as
// cut. Replies of 300 characters or more are mostly error pages, and a page is no message however long it is.
constexpr qsizetype MessageReplyKeep = 16 * 1024;
const QString IncomingContactComment = QStringLiteral("Příchozí kontakt z Klabosu.");
const QString MessagesCaption = QStringLiteral("Příchozí zprávy");
// The end of a message of which only the beginning could be stored.
const QString CutMark = QStringLiteral(" […]");
// Without the sender: a hostile or broken service handing out many such messages gets one box at a time, not one
// per message (an equal report waiting is not queued again).
const QString MessageCutText =
    QStringLiteral("Jedna příchozí zpráva nepřišla celá. Uložen je jen její začátek, označený na konci „[…]“.");
const QString MessageSkippedText =
    QStringLiteral("Jednu příchozí zprávu se nepodařilo přečíst, a tak nemohla být uložena. Další zprávy to nezdrží.");

// The name a message is stored under: its time stamp, or, when another message of the sender already has that
// name, the stamp followed by "-2", "-3", ... A value with the same text under one of these names is the same
// message handed out again (the service counts the last message of a run as delivered only when the next one is
// asked for), and is written over rather than stored twice.
QString MessageValueName(TSysReg& store, const QString& stamp, const QString& data) {
    QString name = stamp;
    for (int copy = 2; store.ValueExists(name); ++copy) {
        if (store.GetDataType(name) == TSysReg::StringValue && store.ReadString(name) == data) {
            break;
        }
        name = stamp + QLatin1Char('-') + QString::number(copy);
    }
    return name;
}

// Whether the key holds values; nothing when the store failed. A missing key is created when `create` is set.
std::optional<bool> HasStoredValues(TSysReg& store, const QString& key, bool create) {
    std::optional<bool> stored;
    try {
        store.CloseKey();
        if (store.OpenKeyToRead(key, create)) {
            stored = !store.GetValueNames().isEmpty();
        } else if (store.FailureReason().isEmpty()) {
            stored = false; // removed since the keys were listed
        }
        store.CloseKey();
    } catch (const std::exception&) {
        stored.reset();
        try {
            store.CloseKey();
        } catch (const std::exception&) {
        }
    }
    return stored;
}

} // namespace

void TMainForm::RetrieveInMessages() {
    if (InMsgBusy || !InMsgHTTPClient || !HTTPClient || QuitRequested) {
        return;
    }
    InMsgBusy = true;
    if (HTTPClient->State() != THttpState::Ready) {
        // Not while a session request runs: it goes out when that request is done.
        RetrievalWaiting = true;
        return;
    }
    StartRetrieval();
}

void TMainForm::StartRetrieval() {
    RetrievalWaiting = false;
    InMsgBuffer.clear();
    InMsgReply.Restart();
    InMsgHTTPClient->Proxy = HTTPClient->Proxy;
    InMsgHTTPClient->ProxyPort = HTTPClient->ProxyPort;
    // Set or cleared every time, as the connect does: credentials once given must not go to a proxy after the
    // authentication was switched off.
    InMsgHTTPClient->ProxyUsername = Settings.UsingProxyAuthentization ? HTTPClient->ProxyUsername : QString();
    InMsgHTTPClient->ProxyPassword = Settings.UsingProxyAuthentization ? HTTPClient->ProxyPassword : QString();
    // Built now, not when it was asked for: a login meanwhile brings a new key.
    if (!StartPost(*InMsgHTTPClient, InMsgBody, MessageRequestBody(Settings.LoginName, SessionKey, LastMsgId))) {
        InMsgBusy = false;
    }
}

void TMainForm::StartWaitingRetrieval() {
    if (RetrievalWaiting && HTTPClient && InMsgHTTPClient && HTTPClient->State() == THttpState::Ready) {
        StartRetrieval();
    }
}

void TMainForm::CancelWaitingRetrieval() {
    if (RetrievalWaiting) {
        RetrievalWaiting = false;
        InMsgBusy = false;
    }
}

void TMainForm::InMsgHTTPClientHeaderEnd() {
    InMsgReply.HeaderEnded = true;
}

void TMainForm::InMsgHTTPClientDocData(const char* data, int length) {
    if (InMsgReply.TooLarge) {
        return;
    }
    InMsgReply.BodyBytes += length;
    if (InMsgReply.BodyBytes > SessionReplyLimit) {
        // What was kept stays: it may tell which message this is, to step past it.
        InMsgReply.TooLarge = true;
        InMsgHTTPClient->AbortRequest();
        return;
    }
    // One character a byte: the kept part's length compared with the body's tells whether the reply was cut.
    const qsizetype room = MessageReplyKeep - InMsgBuffer.size();
    if (room > 0) {
        InMsgBuffer += FromCp1250(QByteArrayView(data, qMin<qsizetype>(length, room)));
    }
}

void TMainForm::InMsgHTTPClientRequestDone(THttpRequest rqType, quint16 error) {
    Q_UNUSED(rqType);
    InMsgPostsPending = qMax(0, InMsgPostsPending - 1);
    if (InMsgPostsPending > 0) {
        return; // the end of a retrieval aborted for a newer one
    }
    InMsgBusy = false;
    error = InMsgReply.Outcome(error, InMsgHTTPClient->ContentLength(), InMsgHTTPClient->StatusCode());
    if (error == NetError::None) {
        StoreInMessage();
        return;
    }
    const QString partial = std::exchange(InMsgBuffer, QString());
    if (error != NetError::Aborted && error != NetError::ErrorStatus) {
        // Cut short or failed on the way. The session is not reset for it: its own requests tell whether the
        // service can be reached, and a reset here would bring a reconnect (with AlwaysReconnect) every few seconds
        // for as long as the retrieval fails. The next list update asks again.
        StepPastCutMessage(partial);
    }
}

void TMainForm::StepPastCutMessage(const QString& partial) {
    // A reply cut once may be a passing fault, and a retry reads it whole: only the same message cut again is
    // stepped past, keeping what came of it. A failure that brought no id says nothing of any message.
    const QString id = MessageReplyId(partial);
    if (id.isEmpty() || id != CutMessageId) {
        CutMessageId = id.isEmpty() ? CutMessageId : id;
        return;
    }
    CutMessageId.clear();
    if (const std::optional<TMessageReply> message = SplitLongMessageReply(partial)) {
        StoreMessage(*message, true);
    } else {
        SkipUnreadableMessage(id);
    }
}

void TMainForm::StoreInMessage() {
    const QString reply = std::exchange(InMsgBuffer, QString());
    std::optional<TMessageReply> message = SplitMessageReply(reply);
    if (message && message->NoMessage) {
        MarkStoredMessages();
        return;
    }
    bool cut = false;
    if (!message) {
        // 300 characters or more: a long message is stored (as far as it was kept), an error page is not.
        message = SplitLongMessageReply(reply);
        cut = InMsgReply.BodyBytes > reply.size();
    }
    if (message && message->IsComplete()) {
        StoreMessage(*message, cut);
        return;
    }
    // A whole reply that is no message to store. With an id it is a message that will never read better: the chain
    // goes past it. Without one (empty, an error page) it is asked for again after the next update.
    const QString id = MessageReplyId(reply);
    if (!id.isEmpty()) {
        SkipUnreadableMessage(id);
    }
}

void TMainForm::StoreMessage(const TMessageReply& message, bool cut) {
    try {
        if (SettingsForm && SettingsForm->UserCheckListBox->IndexOfNick(message.Sender) < 0) {
            // A sender nobody watches becomes a watched user, without announcements.
            SettingsForm->AddOrUpdateUserKeepingEdit(message.Sender, IncomingContactComment, false);
        }
    } catch (const std::exception&) {
        // The list could not be saved; the message is still stored.
    }
    try {
        TSysReg& store = SysReg();
        store.CloseKey();
        if (!store.OpenKey(MessagesKeyOf(message.Sender), true)) {
            throw ESysRegError("the sender's key cannot be opened");
        }
        const QString data =
            QStringLiteral("[%1] %2").arg(message.FormattedTime, message.Text + (cut ? CutMark : QString()));
        store.WriteString(MessageValueName(store, message.TimeStamp, data), data);
        store.CloseKey();
    } catch (const std::exception&) {
        // Not stored: LastMsgId stays, so the service hands the same message out again after the next update
        // instead of counting it as delivered.
        try {
            SysReg().CloseKey();
        } catch (const std::exception&) {
        }
        return;
    }
    if (cut) {
        ErrorBoxes->Queue(MessagesCaption, MessageCutText, QMessageBox::Warning);
    }
    CutMessageId.clear();
    LastMsgId = message.Id;
    Q_EMIT MessageStored(message.Sender);
    RetrieveInMessages();
}

void TMainForm::SkipUnreadableMessage(const QString& id) {
    ErrorBoxes->Queue(MessagesCaption, MessageSkippedText, QMessageBox::Warning);
    CutMessageId.clear();
    LastMsgId = id;
    RetrieveInMessages();
}

std::optional<QStringList> TMainForm::MessageSenderKeys() {
    QStringList keys;
    try {
        const QString prefix = (MessagesKey + QLatin1Char('\\')).toCaseFolded();
        for (const QString& path : SysReg().GetKeyPaths()) {
            const QString folded = path.toCaseFolded();
            if (folded.startsWith(prefix)) {
                keys.append(folded);
            }
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return keys;
}

void TMainForm::MarkStoredMessages() {
    // Every entry's key is read, a missing one created (so each listed nick has its message key); the keys are
    // looked up once, so that only a missing one is opened for writing. Reading waits for nobody, but creating a
    // key waits for another process's write: after the first failure no key is created any more (a nick without a
    // key has no messages), and a failed read ends the marking, so a store held by another process costs a refresh
    // one wait, not one per entry. The entries not reached keep their marks.
    const std::optional<QStringList> keyList = MessageSenderKeys();
    const QSet<QString> senderKeys = keyList ? QSet<QString>(keyList->cbegin(), keyList->cend()) : QSet<QString>();
    TOnlineList& entries = OnlineListBox->Entries();
    TSysReg& store = SysReg();
    bool mayCreate = true;
    for (int index = 0; index < entries.Count() && keyList; ++index) {
        const QString key = MessagesKeyOf(entries.NickAt(index));
        const bool known = senderKeys.contains(key.toCaseFolded());
        const std::optional<bool> stored =
            known || mayCreate ? HasStoredValues(store, key, !known) : std::optional<bool>(false);
        if (!stored && known) {
            break;
        }
        // A nick whose key is not there has no messages, whether or not its key could be made.
        entries.DetailsAt(index)->HasMessages = stored.value_or(false);
        mayCreate = mayCreate && stored.has_value();
    }
    bool anyMessages = false;
    for (int index = 0; index < entries.Count(); ++index) {
        anyMessages = anyMessages || entries.DetailsAt(index)->HasMessages;
    }
    // Set once: the tray's blinking goes on in its step across a marking that finds messages still waiting.
    HasStoredMessages = anyMessages;
    if (HasStoredMessages) {
        // Until the window is first shown the sound is not opened (it may never be, with the window kept in the
        // tray): the beep stands in for it then too, rather than silence.
        if (SoundUnavailable || !SoundPlayer->IsOpen() || !SoundPlayer->Play()) {
            TDesktop::Beep();
        }
    }
    OnlineListBox->viewport()->update();
}
