// Feeds arbitrary bytes, as the service could send them, as the message reply through its split into fields.
#include "session/protocol.h"
#include "text/codepage.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr qsizetype ReplyLimit = 300;

void CheckFields(const QString& reply, const TMessageReply& message) {
    FUZZ_CHECK(!message.Id.contains(QLatin1Char('<')));
    FUZZ_CHECK(!message.TimeStamp.contains(QLatin1Char('<')));
    FUZZ_CHECK(!message.Sender.contains(QLatin1Char('<')));
    const QString joined = message.Id + QLatin1Char('<') + message.TimeStamp + QLatin1Char('<') + message.Sender +
                           QLatin1Char('<') + message.Text;
    // With the three separators there, nothing of the reply is lost; without them, no text is made up.
    if (reply.count(QLatin1Char('<')) >= 3) {
        FUZZ_CHECK(joined == reply);
    } else {
        FUZZ_CHECK(message.Text.isEmpty());
        FUZZ_CHECK(reply.startsWith(message.Id));
    }
}

void CheckTime(const TMessageReply& message) {
    const QString& stamp = message.TimeStamp;
    if (stamp.size() < 14) {
        FUZZ_CHECK(message.FormattedTime.isEmpty());
        return;
    }
    // dd.MM.yyyy hh:mm:ss from yyyyMMddhhmmss
    const QString& time = message.FormattedTime;
    FUZZ_CHECK(time.size() == 19);
    FUZZ_CHECK(time.sliced(0, 2) == stamp.sliced(6, 2) && time.sliced(3, 2) == stamp.sliced(4, 2));
    FUZZ_CHECK(time.sliced(6, 4) == stamp.sliced(0, 4) && time.sliced(11, 2) == stamp.sliced(8, 2));
    FUZZ_CHECK(time.sliced(14, 2) == stamp.sliced(10, 2) && time.sliced(17, 2) == stamp.sliced(12, 2));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString reply = FromCp1250(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    // What the retrieval steps past a message by: an id only where the reply begins with one; a message of any
    // length only with that id, a sender and a time stamp that reads as a time.
    const QString id = MessageReplyId(reply);
    FUZZ_CHECK(id.isEmpty() || reply.startsWith(id + QLatin1Char('<')));
    if (const std::optional<TMessageReply> longMessage = SplitLongMessageReply(reply)) {
        FUZZ_CHECK(longMessage->IsComplete() && longMessage->Id == id && longMessage->FormattedTime.size() == 19);
        CheckFields(reply, *longMessage);
    }
    const std::optional<TMessageReply> message = SplitMessageReply(reply);
    FUZZ_CHECK(message.has_value() == (!reply.isEmpty() && reply.size() < ReplyLimit));
    if (!message) {
        return 0;
    }
    FUZZ_CHECK(message->NoMessage == reply.startsWith(QLatin1Char('-')));
    if (message->NoMessage) {
        FUZZ_CHECK(!message->IsComplete());
        return 0;
    }
    CheckFields(reply, *message);
    CheckTime(*message);
    if (message->IsComplete()) {
        FUZZ_CHECK(!message->Id.isEmpty() && !message->TimeStamp.isEmpty() && !message->Sender.isEmpty());
    }
    return 0;
}
