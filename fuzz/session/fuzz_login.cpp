// Feeds arbitrary bytes, as the service could send them, as the login reply: the session key cut from it, and what
// the key goes into afterwards (the request bodies and the addresses opened in the browser).
#include "session/protocol.h"
#include "text/codepage.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

namespace {

const QString LoginName = QStringLiteral("Žluťoučký kůň");

void CheckKey(const QString& reply, const QString& key) {
    const qsizetype frameEnd = reply.indexOf(QLatin1String("<2>"));
    const bool framed = reply.startsWith(QLatin1String("<>")) && frameEnd >= 3;
    FUZZ_CHECK(key.isEmpty() != framed);
    if (framed) {
        // The key is exactly what lies between "<>" and the first "<2>".
        FUZZ_CHECK(reply.sliced(2, frameEnd - 2) == key);
        FUZZ_CHECK(!key.contains(QLatin1String("<2>")));
    }
}

// The key goes on the wire and into the browser: every text made with it keeps its limit whatever the key holds.
void CheckWhatTheKeyGoesInto(const QString& key) {
    FUZZ_CHECK(MessageRequestBody(LoginName, key, QStringLiteral("123")).size() <= 255);
    FUZZ_CHECK(RoomPageUrl(LoginName, key, QStringLiteral("7")).size() <= 255);
    FUZZ_CHECK(AutoLoginUrl(LoginName, key).size() <= 255);
    const QByteArray people = PeopleRequestBody(LoginName, key, {QStringLiteral("Ema")});
    FUZZ_CHECK(people.contains(ToCp1250(key)));
    FUZZ_CHECK(people.endsWith("&akce=lidi&lidi='Ema'"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString reply = FromCp1250(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QString key = CutSessionKey(reply);
    CheckKey(reply, key);
    CheckWhatTheKeyGoesInto(key);
    return 0;
}
