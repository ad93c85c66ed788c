#pragma once

#include <QByteArray>
#include <QString>

// The form encoding of request fields, on the Windows-1250 bytes of the text: ASCII letters, digits and
// ! $ ' ( ) * - . @ _ stay, a blank becomes "+", every other byte "%" and two upper-case hexadecimal digits.
QByteArray FormEncode(const QByteArray& bytes);
QByteArray FormEncode(const QString& text);
