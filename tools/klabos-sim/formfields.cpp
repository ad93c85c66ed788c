#include "formfields.h"

#include "text/codepage.h"

namespace KlabosSim {

namespace {

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    return -1;
}

} // namespace

std::optional<QString> FormDecode(const QByteArray& encoded) {
    QByteArray bytes;
    bytes.reserve(encoded.size());
    for (qsizetype index = 0; index < encoded.size(); ++index) {
        const char byte = encoded.at(index);
        if (byte == '+') {
            bytes.append(' ');
        } else if (byte == '%') {
            const int high = index + 1 < encoded.size() ? HexValue(encoded.at(index + 1)) : -1;
            const int low = index + 2 < encoded.size() ? HexValue(encoded.at(index + 2)) : -1;
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            bytes.append(char(high * 16 + low));
            index += 2;
        } else {
            bytes.append(byte);
        }
    }
    return FromCp1250(bytes);
}

FormFields FormFields::Parse(const QByteArray& body) {
    FormFields fields;
    fields.Body = body;
    if (body.isEmpty()) {
        return fields;
    }
    for (const QByteArray& field : body.split('&')) {
        const qsizetype equals = field.indexOf('=');
        if (equals < 0) {
            fields.Fields.append({field, QByteArray()});
        } else {
            fields.Fields.append({field.left(equals), field.mid(equals + 1)});
        }
    }
    return fields;
}

bool FormFields::Has(const QByteArray& name) const {
    for (const auto& field : Fields) {
        if (field.first == name) {
            return true;
        }
    }
    return false;
}

QString FormFields::Raw(const QByteArray& name) const {
    for (const auto& field : Fields) {
        if (field.first == name) {
            return FromCp1250(field.second);
        }
    }
    return QString();
}

std::optional<QString> FormFields::Decoded(const QByteArray& name) const {
    for (const auto& field : Fields) {
        if (field.first == name) {
            return FormDecode(field.second);
        }
    }
    return std::nullopt;
}

QString FormFields::RawTail(const QByteArray& name) const {
    const QByteArray marker = name + '=';
    qsizetype at = Body.startsWith(marker) ? 0 : -1;
    if (at < 0) {
        const qsizetype found = Body.indexOf('&' + marker);
        at = found < 0 ? -1 : found + 1;
    }
    if (at < 0) {
        return QString();
    }
    return FromCp1250(QByteArrayView(Body).sliced(at + marker.size()));
}

QList<QPair<QString, QString>> FormFields::ReadableFields() const {
    QList<QPair<QString, QString>> readable;
    for (const auto& field : Fields) {
        readable.append({FromCp1250(field.first), FormDecode(field.second).value_or(FromCp1250(field.second))});
    }
    return readable;
}

} // namespace KlabosSim
