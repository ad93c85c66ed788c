#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// What the reply header said, as far as the client reads it.
struct THttpReplyHeader {
    int StatusCode = 0;
    QString ReasonPhrase;
    qint64 ContentLength = -1;
    QString ContentType;
    QString ContentRangeBegin;
    QString ContentRangeEnd;
    QString AcceptRanges;
    QString Location; // the value of the last Location line, as sent
    QStringList ReceivedHeader;
    QStringList WwwAuthenticate;
};

// Receives what the reader finds, in order. A handler may call THttpReplyReader::Stop() from any of these.
class THttpReplyHandler {
public:
    virtual void ReplyHeaderBegin() = 0;
    virtual void ReplyHeaderLine() = 0; // after each non-empty header line has been read
    virtual void ReplyCookie(const QString& value) = 0;
    virtual void ReplyHeaderEnd() = 0;
    virtual void ReplyBody(const char* data, qsizetype length) = 0;

protected:
    ~THttpReplyHandler() = default;
};

// Reads an HTTP/1.0 reply from bytes split anywhere: header lines up to the empty line, then the body passed on
// raw, chunk by chunk, as it arrives. It never touches a socket; the client feeds it what it reads.
class THttpReplyReader {
public:
    // A header line, with its line end, must fit in this many bytes.
    static constexpr qsizetype MaxLineLength = 8192;
    // A header is bounded as a whole so that a hostile server cannot make us keep lines without end.
    static constexpr int MaxHeaderLines = 100;
    static constexpr qsizetype MaxHeaderBytes = 64 * 1024;

    enum class TPhase { Header, Body, Stopped };
    enum class TVerdict {
        Continue,       // feed more
        Close,          // close the connection now: an error status, or the header of a relocation ended
        LineTooLong,    // a header line did not fit in MaxLineLength
        HeaderTooLarge, // more than MaxHeaderLines lines or MaxHeaderBytes bytes of header
    };

    explicit THttpReplyReader(THttpReplyHandler& handler);

    void Reset();
    TVerdict Feed(const char* data, qsizetype length);
    // The connection ended: a reply without header whose last line had no line end still counts as body.
    void Finish();
    // Nothing more is read or passed on until the next Reset.
    void Stop() {
        Phase = TPhase::Stopped;
        ++Generation;
    }

    TPhase CurrentPhase() const { return Phase; }
    const THttpReplyHeader& Header() const { return ReplyHeader; }
    bool RelocationPending() const { return Relocation; }
    qint64 BodyChunkCount() const { return BodyChunks; }

private:
    enum class TLineResult { Continue, HeaderEnded, Close, TooLarge };

    TLineResult HandleLine(QByteArrayView line);
    void HandleField(QByteArrayView name, QByteArrayView value);
    void BeginHeaderOnce();
    void StartHeaderlessBody();
    void PassBody(const char* data, qsizetype length);
    TVerdict StopWith(TVerdict verdict);
    // A handler stopped or reset the reader: the bytes being fed belong to a request that is over.
    bool Interrupted() const { return Generation != FeedGeneration; }

    THttpReplyHandler& Handler;
    THttpReplyHeader ReplyHeader;
    QByteArray Line; // the unfinished header line held between reads
    TPhase Phase = TPhase::Header;
    bool HeaderBegun = false;
    bool Relocation = false;
    bool HeaderlessLine = false;
    int HeaderLines = 0;
    qsizetype HeaderBytes = 0;
    qint64 BodyChunks = 0;
    quint64 Generation = 0;
    quint64 FeedGeneration = 0;
};
