// Feeds arbitrary bytes, as a client could send them, to the stand-in's request reader: whole, and split at places
// the first byte chooses, as the bytes may arrive. Where they were split must not change what is read. The body and
// the query of a whole request then go through the form field reader.
#include "formfields.h"
#include "httprequest.h"

#include "text/codepage.h"
#include "text/formencode.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

using KlabosSim::FormFields;
using KlabosSim::HttpRequest;
using KlabosSim::HttpRequestReader;

namespace {

struct TOutcome {
    HttpRequestReader::TStatus Status = HttpRequestReader::TStatus::NeedMore;
    HttpRequest Request;
    int ErrorCode = 0;
};

bool SameRequest(const HttpRequest& left, const HttpRequest& right) {
    return left.Method == right.Method && left.Target == right.Target && left.Version == right.Version &&
           left.Headers == right.Headers && left.Body == right.Body && left.AbsoluteTarget == right.AbsoluteTarget &&
           left.TargetHost == right.TargetHost && left.Path == right.Path && left.Query == right.Query;
}

// Feeds the bytes in pieces whose sizes come from a small generator seeded by `seed`; seed 0 feeds them whole.
TOutcome Read(const QByteArray& bytes, quint8 seed) {
    HttpRequestReader reader;
    quint32 state = seed;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype piece = bytes.size() - at;
        if (seed != 0) {
            state = state * 1103515245u + 12345u;
            piece = qMin<qsizetype>(piece, 1 + (state >> 16) % 2053);
        }
        const HttpRequestReader::TStatus status = reader.Feed(bytes.sliced(at, piece));
        FUZZ_CHECK(status == reader.Status());
        at += piece;
    }
    return {reader.Status(), reader.Request(), reader.ErrorCode()};
}

void CheckComplete(const HttpRequest& request) {
    FUZZ_CHECK(!request.Method.isEmpty());
    for (const char letter : request.Method) {
        FUZZ_CHECK(letter >= 'A' && letter <= 'Z');
    }
    FUZZ_CHECK(request.Version.startsWith("HTTP/1."));
    FUZZ_CHECK(request.Path.startsWith('/'));
    FUZZ_CHECK(!request.AbsoluteTarget || !request.TargetHost.isEmpty());
    FUZZ_CHECK(request.Body.size() <= HttpRequestReader::MaxBodyBytes);
    const QByteArray length = request.Header("Content-Length");
    FUZZ_CHECK(request.Body.size() == (length.isEmpty() ? 0 : length.toLongLong()));
    for (const auto& header : request.Headers) {
        FUZZ_CHECK(!header.first.isEmpty() && header.second == header.second.trimmed());
    }
}

void CheckFailed(const TOutcome& outcome) {
    static const QList<int> codes = {400, 411, 413, 431, 501, 505};
    FUZZ_CHECK(codes.contains(outcome.ErrorCode));
}

// The service reads these fields; each reading must be safe whatever the form holds.
void CheckForm(const QByteArray& form) {
    const FormFields fields = FormFields::Parse(form);
    FUZZ_CHECK(fields.ReadableFields().size() == (form.isEmpty() ? 0 : form.count('&') + 1));
    for (const char* name : {"akce", "jmeno", "heslo", "komu", "text", "last_msg", "lidi"}) {
        const QByteArray field(name);
        const bool present = fields.Has(field);
        FUZZ_CHECK(present || (fields.Raw(field).isEmpty() && !fields.Decoded(field)));
        const QString tail = fields.RawTail(field);
        FUZZ_CHECK(tail.size() <= form.size());
    }
    // What the program encodes, the stand-in decodes back to the same text.
    const std::optional<QString> decoded = KlabosSim::FormDecode(FormEncode(form));
    FUZZ_CHECK(decoded && *decoded == FromCp1250(form));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const TOutcome whole = Read(bytes, 0);
    const TOutcome split = Read(bytes, data[0]);
    FUZZ_CHECK(split.Status == whole.Status);
    FUZZ_CHECK(split.ErrorCode == whole.ErrorCode);
    switch (whole.Status) {
    case HttpRequestReader::TStatus::Complete:
        FUZZ_CHECK(SameRequest(split.Request, whole.Request));
        CheckComplete(whole.Request);
        CheckForm(whole.Request.Body);
        CheckForm(whole.Request.Query);
        break;
    case HttpRequestReader::TStatus::Failed:
        CheckFailed(whole);
        break;
    case HttpRequestReader::TStatus::NeedMore:
        break;
    }
    return 0;
}
