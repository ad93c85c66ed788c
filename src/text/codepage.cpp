#include "text/codepage.h"

#include <QHash>
#include <QStringDecoder>
#include <array>

namespace {

// The 256 characters of the code page, built once from Qt's converter; encoding goes through their reverse map.
struct TCodePage {
    std::array<char16_t, 256> Characters{};
    QHash<char16_t, char> Bytes;

    TCodePage() {
        QStringDecoder decoder("windows-1250");
        for (int byte = 0; byte < 256; ++byte) {
            const char raw = char(byte);
            const QString decoded = decoder.isValid() ? decoder.decode(QByteArrayView(&raw, 1)) : QString();
            // A byte the converter leaves undefined keeps its own value as its character, so it still round-trips.
            const char16_t character = decoded.size() == 1 && decoded.at(0) != QChar::ReplacementCharacter
                                           ? decoded.at(0).unicode()
                                           : char16_t(byte);
            Characters[byte] = character;
            Bytes.insert(character, raw);
        }
    }
};

const TCodePage& CodePage() {
    static const TCodePage codePage;
    return codePage;
}

} // namespace

QByteArray ToCp1250(QStringView text) {
    const TCodePage& codePage = CodePage();
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit < 0x80) {
            bytes.append(char(unit));
            continue;
        }
        const auto found = codePage.Bytes.constFind(unit);
        bytes.append(found != codePage.Bytes.cend() ? *found : '?');
    }
    return bytes;
}

QString FromCp1250(QByteArrayView bytes) {
    const TCodePage& codePage = CodePage();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        *out++ = QChar(codePage.Characters[uchar(byte)]);
    }
    return text;
}
