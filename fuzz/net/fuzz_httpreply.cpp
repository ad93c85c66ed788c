// Feeds arbitrary reply bytes, split at arbitrary places, through the reply reader, and the same bytes as a URL
// through the URL parser and the request header. The first input byte chooses where the reply is split.

#include "net/httpurl.h"
#include "net/replyreader.h"
#include "net/requestheader.h"

#include "fuzzcheck.h"

#include <cstdint>

namespace {

struct TCollector : THttpReplyHandler {
    QByteArray Body;
    int HeaderEnds = 0;
    int Chunks = 0;
    void ReplyHeaderBegin() override {}
    void ReplyHeaderLine() override {}
    void ReplyCookie(const QString&) override {}
    void ReplyHeaderEnd() override { ++HeaderEnds; }
    void ReplyBody(const char* data, qsizetype length) override {
        FUZZ_CHECK(length > 0);
        ++Chunks;
        Body.append(data, length);
    }
};

struct TOutcome {
    TCollector Collector;
    THttpReplyReader::TVerdict Verdict = THttpReplyReader::TVerdict::Continue;
    QStringList ReceivedHeader;
    int StatusCode = 0;
};

// Feeds the reply in pieces whose sizes come from a small generator seeded by the first byte; seed 0 feeds it whole.
void Read(const QByteArray& reply, quint8 seed, TOutcome& outcome) {
    THttpReplyReader reader(outcome.Collector);
    quint32 state = seed;
    qsizetype at = 0;
    while (at < reply.size() && outcome.Verdict == THttpReplyReader::TVerdict::Continue) {
        qsizetype piece = reply.size() - at;
        if (seed != 0) {
            state = state * 1103515245u + 12345u;
            piece = qMin<qsizetype>(piece, 1 + (state >> 16) % 97);
        }
        outcome.Verdict = reader.Feed(reply.constData() + at, piece);
        at += piece;
    }
    if (outcome.Verdict == THttpReplyReader::TVerdict::Continue)
        reader.Finish();
    outcome.ReceivedHeader = reader.Header().ReceivedHeader;
    outcome.StatusCode = reader.Header().StatusCode;

    FUZZ_CHECK(outcome.ReceivedHeader.size() <= THttpReplyReader::MaxHeaderLines);
    for (const QString& line : outcome.ReceivedHeader)
        FUZZ_CHECK(line.size() < THttpReplyReader::MaxLineLength);
    FUZZ_CHECK(outcome.Collector.HeaderEnds <= 1);
    FUZZ_CHECK(outcome.Collector.Chunks == reader.BodyChunkCount());
    // The body is passed on raw: once it begins, it is exactly the rest of the reply.
    if (outcome.Verdict == THttpReplyReader::TVerdict::Continue && !outcome.Collector.Body.isEmpty())
        FUZZ_CHECK(reply.endsWith(outcome.Collector.Body));
}

void CheckRequestHeader(const QByteArray& text) {
    const THttpUrl url = ParseHttpUrl(QString::fromLatin1(text));
    (void)DocumentNameFromPath(url.Path);
    THttpRequestFields fields;
    fields.Method = "POST";
    fields.Target = url.Path.toLatin1();
    fields.TargetHost = url.Host.toLatin1();
    fields.Agent = url.User.toLatin1();
    fields.IsPost = true;
    fields.Username = url.User.toLatin1();
    fields.Password = url.Password.toLatin1();
    if (HasUnsafeField(fields))
        return;
    // A safe request has no line break but the line ends the builder puts there.
    const QList<QByteArray> lines = BuildRequestHeaderLines(fields);
    for (const QByteArray& line : lines)
        FUZZ_CHECK(!HasLineBreakOrNul(line));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray reply(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));

    TOutcome whole;
    Read(reply, 0, whole);
    TOutcome split;
    Read(reply, data[0], split);
    // Where the bytes were split must not change what the reader finds.
    FUZZ_CHECK(split.Verdict == whole.Verdict);
    FUZZ_CHECK(split.Collector.Body == whole.Collector.Body);
    FUZZ_CHECK(split.ReceivedHeader == whole.ReceivedHeader);
    FUZZ_CHECK(split.StatusCode == whole.StatusCode);

    CheckRequestHeader(reply.left(4096));
    return 0;
}
