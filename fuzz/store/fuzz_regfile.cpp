// Feeds arbitrary bytes as a file given to the store tool's import, read as the tool reads it (UTF-8). What the
// reader takes whole must come back the same through the text the export writes; what it refuses leaves nothing to
// import and names a line of the file.
#include "regfile.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

namespace {

bool SameValue(const TRegValue& left, const TRegValue& right) {
    if (left.Name != right.Name || left.Kind != right.Kind) {
        return false;
    }
    switch (left.Kind) {
    case TRegValue::String:
        return left.Text == right.Text;
    case TRegValue::Integer:
        return left.Number == right.Number;
    case TRegValue::Delete:
        return true;
    }
    return false;
}

bool SameKeys(const TRegFile& left, const TRegFile& right) {
    if (left.Keys.size() != right.Keys.size()) {
        return false;
    }
    for (qsizetype k = 0; k < left.Keys.size(); ++k) {
        const TRegKey& a = left.Keys.at(k);
        const TRegKey& b = right.Keys.at(k);
        if (a.Path != b.Path || a.Delete != b.Delete || a.Values.size() != b.Values.size()) {
            return false;
        }
        for (qsizetype v = 0; v < a.Values.size(); ++v) {
            if (!SameValue(a.Values.at(v), b.Values.at(v))) {
                return false;
            }
        }
    }
    return true;
}

void CheckRefusal(const QString& text, const TRegFile& file) {
    FUZZ_CHECK(file.Keys.isEmpty());
    // "řádek N: ..." with N a line of the file
    const QString prefix = QStringLiteral("řádek ");
    FUZZ_CHECK(file.Error.startsWith(prefix));
    const qsizetype colon = file.Error.indexOf(QLatin1Char(':'));
    bool number = false;
    const qsizetype line = file.Error.sliced(prefix.size(), colon - prefix.size()).toLongLong(&number);
    FUZZ_CHECK(number && line >= 1 && line <= text.count(QLatin1Char('\n')) + 1);
}

void CheckListing(const TRegFile& file) {
    for (const TRegKey& key : file.Keys) {
        FUZZ_CHECK(!key.Delete || key.Values.isEmpty());
        for (const TRegValue& value : key.Values) {
            // The listing shows one value a line.
            const QString shown = EscapeForListing(value.Text);
            FUZZ_CHECK(!shown.contains(QLatin1Char('\n')) && !shown.contains(QLatin1Char('\r')));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const TRegFile file = ParseRegFile(text);
    if (!file.Error.isEmpty()) {
        CheckRefusal(text, file);
        return 0;
    }
    CheckListing(file);
    const QString written = FormatRegFile(file);
    const TRegFile again = ParseRegFile(written);
    FUZZ_CHECK(again.Error.isEmpty());
    FUZZ_CHECK(SameKeys(file, again));
    FUZZ_CHECK(FormatRegFile(again) == written);
    return 0;
}
