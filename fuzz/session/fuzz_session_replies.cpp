// Feeds arbitrary bytes, as the service could send them, through every reader of the session's replies.
#include "session/protocol.h"
#include "text/codepage.h"

#include <cstddef>
#include <cstdint>

namespace {

class TChecker : public TPeopleReplyHandler {
public:
    explicit TChecker(QStringView reply)
        : Reply(reply) {}
    void OnNick(QStringView nick) override { Check(nick); }
    void OnRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId) override {
        Check(nick);
        Check(idleText, true);
        Check(roomName);
        Check(roomId);
    }
    void OnClientRecord(QStringView nick, QStringView idleText) override {
        Check(nick);
        Check(idleText, true);
    }

private:
    QStringView Reply;

    // Every text handed out lies inside the reply (the idle text may be a copy: "-1" or a kept value).
    void Check(QStringView part, bool mayBeCopy = false) const {
        if (mayBeCopy || part.isEmpty()) {
            return;
        }
        if (part.data() < Reply.data() || part.data() + part.size() > Reply.data() + Reply.size()) {
            __builtin_trap();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString reply = FromCp1250(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    TChecker checker(reply);
    TokenizePeopleReply(reply, checker);
    IsErrorReply(reply);
    const QString key = CutSessionKey(reply);
    if (!key.isEmpty() && !reply.startsWith(QLatin1String("<>"))) {
        __builtin_trap();
    }
    const std::optional<TMessageReply> message = SplitMessageReply(reply);
    if (message && message->IsComplete() && (message->TimeStamp.isEmpty() || message->Sender.isEmpty())) {
        __builtin_trap();
    }
    return 0;
}
