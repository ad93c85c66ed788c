#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace KlabosSim {

// The fields of a form-encoded body or query, in the order sent. The program encodes most values (a blank as "+",
// other bytes as "%XX" of their Windows-1250 code) but sends the password, the session key and nicks as they are,
// so each value is kept raw and decoded only when asked for.
class FormFields {
public:
    // Splits at "&" and at the first "=" of each field; a field without "=" has an empty value.
    static FormFields Parse(const QByteArray& body);

    bool Has(const QByteArray& name) const;
    // The value as sent, read as Windows-1250 without form decoding (for the fields sent unencoded).
    QString Raw(const QByteArray& name) const;
    // The form-decoded value; empty optional when the field is missing or holds a broken "%" escape.
    std::optional<QString> Decoded(const QByteArray& name) const;
    // Everything after the first "name=" up to the end of the body, raw: the program sends the watched nicks as the
    // last field, unencoded, so a nick holding "&" must not cut the list.
    QString RawTail(const QByteArray& name) const;

    QList<QPair<QString, QString>> ReadableFields() const;

private:
    QByteArray Body;
    QList<QPair<QByteArray, QByteArray>> Fields;
};

// Form decoding of one value: "+" is a blank, "%XX" a byte, the bytes read as Windows-1250. A "%" not followed by
// two hexadecimal digits makes the value malformed.
std::optional<QString> FormDecode(const QByteArray& encoded);

} // namespace KlabosSim
