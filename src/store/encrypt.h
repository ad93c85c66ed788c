#pragma once

#include <QByteArray>
#include <QString>

// The reversible scrambling of stored passwords. Works on the 8-bit codes: every byte is shifted by
// (position + 1) mod 8, positions counted from 1, and a check byte (the complement of the last shifted byte) is
// appended. Unscrambling returns an empty text when the check byte does not match or the input is too short.
QByteArray ScrambleText(const QByteArray& plain);
QByteArray UnscrambleText(const QByteArray& stored);

// The same on texts, through their Windows-1250 bytes (the form kept in the store).
QString ScrambleText(const QString& plain);
QString UnscrambleText(const QString& stored);
