#include "net/replyreader.h"

#include <cstring>

namespace {

bool StartsWithHtmlTag(QByteArrayView line) {
    return line.size() >= 6 && QByteArrayView(line.first(6)).compare("<HTML>", Qt::CaseInsensitive) == 0;
}

QByteArrayView WithoutLeadingBlanks(QByteArrayView value) {
    while (!value.isEmpty() && value.front() == ' ')
        value = value.sliced(1);
    return value;
}

} // namespace

THttpReplyReader::THttpReplyReader(THttpReplyHandler& handler)
    : Handler(handler) {
    Line.reserve(MaxLineLength);
}

void THttpReplyReader::Reset() {
    ++Generation;
    ReplyHeader = THttpReplyHeader();
    Line.clear();
    Phase = TPhase::Header;
    HeaderBegun = false;
    Relocation = false;
    HeaderlessLine = false;
    HeaderLines = 0;
    HeaderBytes = 0;
    BodyChunks = 0;
}

THttpReplyReader::TVerdict THttpReplyReader::Feed(const char* data, qsizetype length) {
    FeedGeneration = Generation;
    while (length > 0 && Phase == TPhase::Header) {
        const auto* lineFeed = static_cast<const char*>(std::memchr(data, '\n', size_t(length)));
        if (!lineFeed) {
            if (Line.size() + length > MaxLineLength)
                return StopWith(TVerdict::LineTooLong);
            Line.append(data, length);
            return TVerdict::Continue;
        }
        const qsizetype taken = lineFeed - data + 1;
        if (Line.size() + taken > MaxLineLength)
            return StopWith(TVerdict::LineTooLong);
        HeaderBytes += taken;
        if (HeaderBytes > MaxHeaderBytes)
            return StopWith(TVerdict::HeaderTooLarge);

        // Most lines arrive whole; only a line split across reads is copied together.
        QByteArrayView raw(data, taken);
        if (!Line.isEmpty()) {
            Line.append(raw);
            raw = Line;
        }
        QByteArrayView line = raw.chopped(1);
        if (line.endsWith('\r'))
            line.chop(1);
        const TLineResult result = HandleLine(line);
        if (Interrupted())
            return TVerdict::Continue;
        if (HeaderlessLine) {
            // The first line of a reply without header is already body, line end and all.
            HeaderlessLine = false;
            PassBody(raw.data(), raw.size());
            if (Interrupted())
                return TVerdict::Continue;
        }
        Line.clear();
        data += taken;
        length -= taken;
        if (result == TLineResult::Close)
            return StopWith(TVerdict::Close);
        if (result == TLineResult::TooLarge)
            return StopWith(TVerdict::HeaderTooLarge);
        if (result == TLineResult::HeaderEnded && Relocation)
            return StopWith(TVerdict::Close);
    }
    if (length > 0 && Phase == TPhase::Body)
        PassBody(data, length);
    return TVerdict::Continue;
}

void THttpReplyReader::Finish() {
    FeedGeneration = Generation;
    if (Phase != TPhase::Header || !StartsWithHtmlTag(Line))
        return;
    const QByteArray rest = Line;
    Line.clear();
    BeginHeaderOnce();
    if (Interrupted())
        return;
    StartHeaderlessBody();
    if (!Interrupted())
        PassBody(rest.constData(), rest.size());
}

THttpReplyReader::TLineResult THttpReplyReader::HandleLine(QByteArrayView line) {
    BeginHeaderOnce();
    if (Interrupted())
        return TLineResult::Continue;

    if (StartsWithHtmlTag(line)) {
        StartHeaderlessBody();
        HeaderlessLine = !Interrupted();
        return TLineResult::Continue;
    }
    if (line.isEmpty()) {
        if (!Relocation)
            Phase = TPhase::Body;
        Handler.ReplyHeaderEnd();
        return TLineResult::HeaderEnded;
    }
    if (++HeaderLines > MaxHeaderLines)
        return TLineResult::TooLarge;

    ReplyHeader.ReceivedHeader.append(QString::fromLatin1(line));
    if (line.startsWith("HTTP/1.0") || line.startsWith("HTTP/1.1")) {
        ReplyHeader.StatusCode =
            line.size() > 9 ? line.sliced(9).first(qMin<qsizetype>(3, line.size() - 9)).toInt() : 0;
        ReplyHeader.ReasonPhrase = line.size() > 13 ? QString::fromLatin1(line.sliced(13)) : QString();
    } else if (const qsizetype colon = line.indexOf(':'); colon >= 0) {
        HandleField(line.first(colon), WithoutLeadingBlanks(line.sliced(colon + 1)));
    }
    if (Interrupted())
        return TLineResult::Continue;
    Handler.ReplyHeaderLine();
    if (Interrupted())
        return TLineResult::Continue;
    return ReplyHeader.StatusCode >= 400 ? TLineResult::Close : TLineResult::Continue;
}

void THttpReplyReader::HandleField(QByteArrayView name, QByteArrayView value) {
    const QByteArray field = name.toByteArray().toLower();
    const QString text = QString::fromLatin1(value);
    if (field == "location") {
        Relocation = true;
        ReplyHeader.Location = text;
    } else if (field == "content-length") {
        bool valid = false;
        const qint64 length = value.trimmed().toLongLong(&valid);
        ReplyHeader.ContentLength = valid ? length : -1;
    } else if (field == "content-range") {
        // "bytes 0-99/200": the first value starts at the seventh character.
        const qsizetype dash = text.indexOf(QLatin1Char('-'), 6);
        const qsizetype slash = text.indexOf(QLatin1Char('/'), dash < 0 ? 6 : dash);
        ReplyHeader.ContentRangeBegin = dash < 0 ? text.mid(6) : text.mid(6, dash - 6);
        ReplyHeader.ContentRangeEnd = dash < 0 ? QString() : text.mid(dash + 1, slash < 0 ? -1 : slash - dash - 1);
    } else if (field == "accept-ranges") {
        ReplyHeader.AcceptRanges = text;
    } else if (field == "content-type") {
        ReplyHeader.ContentType = text.toLower();
    } else if (field == "www-authenticate") {
        ReplyHeader.WwwAuthenticate.append(text);
    } else if (field == "set-cookie") {
        Handler.ReplyCookie(text);
    }
}

void THttpReplyReader::BeginHeaderOnce() {
    if (HeaderBegun)
        return;
    HeaderBegun = true;
    Handler.ReplyHeaderBegin();
}

void THttpReplyReader::StartHeaderlessBody() {
    if (ReplyHeader.ContentType.isEmpty())
        ReplyHeader.ContentType = QStringLiteral("text/html");
    Phase = TPhase::Body;
    Handler.ReplyHeaderEnd();
}

void THttpReplyReader::PassBody(const char* data, qsizetype length) {
    if (Phase != TPhase::Body || length <= 0)
        return;
    ++BodyChunks;
    Handler.ReplyBody(data, length);
}

THttpReplyReader::TVerdict THttpReplyReader::StopWith(TVerdict verdict) {
    Stop();
    return verdict;
}
