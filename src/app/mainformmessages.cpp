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

#include <QBuffer>
#include <QSet>

namespace {

// Only a reply shorter than this is a message; longer ones are ignored, so no more of one needs keeping.
constexpr qsizetype MessageReplyKeep = 300;
const QString IncomingContactComment = QStringLiteral("Příchozí kontakt z Klabosu.");

} // namespace

void TMainForm::RetrieveInMessages() {
    if (InMsgBusy || !InMsgHTTPClient || !HTTPClient) {
        return;
    }
    // Busy from here on: the wait below runs other handlers, which must not start a second retrieval.
    InMsgBusy = true;
    InMsgBuffer.clear();
    InMsgReply.Restart();
    InMsgHTTPClient->Proxy = HTTPClient->Proxy;
    InMsgHTTPClient->ProxyPort = HTTPClient->ProxyPort;
    // Set or cleared every time, as the connect does: credentials once given must not go to a proxy after the
    // authentication was switched off.
    InMsgHTTPClient->ProxyUsername = Settings.UsingProxyAuthentization ? HTTPClient->ProxyUsername : QString();
    InMsgHTTPClient->ProxyPassword = Settings.UsingProxyAuthentization ? HTTPClient->ProxyPassword : QString();
    if (!StartSessionPost(*InMsgHTTPClient, InMsgBody, MessageRequestBody(Settings.LoginName, SessionKey, LastMsgId))) {
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
        InMsgReply.TooLarge = true;
        InMsgBuffer.clear();
        InMsgHTTPClient->AbortRequest();
        return;
    }
    if (InMsgBuffer.size() < MessageReplyKeep) {
        InMsgBuffer += FromCp1250(QByteArrayView(data, qMin<qsizetype>(length, MessageReplyKeep)));
    }
}

void TMainForm::InMsgHTTPClientRequestDone(THttpRequest rqType, quint16 error) {
    InMsgPostsPending = qMax(0, InMsgPostsPending - 1);
    if (InMsgPostsPending > 0) {
        return; // the end of a retrieval aborted for a newer one
    }
    InMsgBusy = false;
    if (InMsgReply.TooLarge) {
        rqType = THttpRequest::Post;
    }
    error = InMsgReply.Outcome(error, InMsgHTTPClient->ContentLength());
    if (error == NetError::None) {
        StoreInMessage();
        return;
    }
    // Only a whole reply is a message: a cut one stored as complete would move LastMsgId past the rest of it.
    InMsgBuffer.clear();
    if (IsTransportFailure(rqType, error)) {
        // The next list update starts retrieval again; nothing is reported.
        ResetConnection();
    }
}

void TMainForm::StoreInMessage() {
    const QString reply = InMsgBuffer;
    InMsgBuffer.clear();
    const std::optional<TMessageReply> message = SplitMessageReply(reply);
    if (!message) {
        return; // empty, or too long to be a message: asked for again after the next update
    }
    if (message->NoMessage) {
        MarkStoredMessages();
        return;
    }
    if (!message->IsComplete()) {
        return; // no sender, time stamp or id to store it under: treated like a reply of the wrong length
    }
    try {
        if (SettingsForm && SettingsForm->UserCheckListBox->IndexOfNick(message->Sender) < 0) {
            // A sender nobody watches becomes a watched user, without announcements.
            SettingsForm->AddOrUpdateUserKeepingEdit(message->Sender, IncomingContactComment, false);
        }
    } catch (const std::exception&) {
        // The list could not be saved; the message is still stored.
    }
    try {
        TSysReg& store = SysReg();
        store.CloseKey();
        if (!store.OpenKey(MessagesKeyOf(message->Sender), true)) {
            throw ESysRegError("the sender's key cannot be opened");
        }
        store.WriteString(message->TimeStamp, QStringLiteral("[%1] %2").arg(message->FormattedTime, message->Text));
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
    LastMsgId = message->Id;
    Q_EMIT MessageStored(message->Sender);
    RetrieveInMessages();
}

QStringList TMainForm::MessageSenderKeys() {
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
    }
    return keys;
}

void TMainForm::MarkStoredMessages() {
    HasStoredMessages = false;
    // Every entry's key is opened, a missing one created (so each listed nick has its message key); the keys are
    // looked up once, so that only a missing one is opened for writing.
    const QStringList keyList = MessageSenderKeys();
    const QSet<QString> senderKeys(keyList.cbegin(), keyList.cend());
    TOnlineList& entries = OnlineListBox->Entries();
    TSysReg& store = SysReg();
    for (int index = 0; index < entries.Count(); ++index) {
        bool hasMessages = false;
        const QString key = MessagesKeyOf(entries.NickAt(index));
        try {
            store.CloseKey();
            if (store.OpenKey(key, !senderKeys.contains(key.toCaseFolded()))) {
                hasMessages = !store.GetValueNames().isEmpty();
            }
            store.CloseKey();
        } catch (const std::exception&) {
            hasMessages = false;
            try {
                store.CloseKey();
            } catch (const std::exception&) {
            }
        }
        entries.DetailsAt(index)->HasMessages = hasMessages;
        HasStoredMessages = HasStoredMessages || hasMessages;
    }
    if (HasStoredMessages) {
        // Until the window is first shown the sound is not opened (it may never be, with the window kept in the
        // tray): the beep stands in for it then too, rather than silence.
        if (SoundUnavailable || !SoundPlayer->IsOpen() || !SoundPlayer->Play()) {
            TDesktop::Beep();
        }
    }
    OnlineListBox->viewport()->update();
}
