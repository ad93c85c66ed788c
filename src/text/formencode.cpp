#include "text/formencode.h"

#include "text/codepage.h"

namespace {

bool PassesUnchanged(uchar byte) {
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')) {
        return true;
    }
    switch (byte) {
    case '!':
    case '$':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '-':
    case '.':
    case '@':
    case '_':
        return true;
    default:
        return false;
    }
}

} // namespace

QByteArray FormEncode(const QByteArray& bytes) {
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    QByteArray encoded;
    encoded.reserve(bytes.size() * 3);
    for (const char raw : bytes) {
        const uchar byte = uchar(raw);
        if (PassesUnchanged(byte)) {
            encoded.append(raw);
        } else if (byte == ' ') {
            encoded.append('+');
        } else {
            encoded.append('%');
            encoded.append(HexDigits[byte >> 4]);
            encoded.append(HexDigits[byte & 0x0F]);
        }
    }
    return encoded;
}

QByteArray FormEncode(const QString& text) {
    return FormEncode(ToCp1250(text));
}
