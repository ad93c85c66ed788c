#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TSysReg;

// The text the store tool exports and imports, UTF-8: a section per key headed by its path in square brackets, then
// a line per value:
//
//   [SOFTWARE\Velmor\Cvrlik]
//   "LoginName"="demo"
//   "ProxyPort"=dword:00000c38
//   "Comment"=hex(1):41,00,0d,00,0a,00,42,00,00,00
//
// Strings escape \ and " with a backslash; a string holding control characters (a comment's line breaks) is written
// as hex(1), its UTF-16LE units followed by a terminating zero unit, so every text round-trips. `[-KEY]` removes a
// key and `"name"=-` a value.
struct TRegValue {
    enum TKind { String, Integer, Delete };
    QString Name;
    TKind Kind = String;
    QString Text;
    qint32 Number = 0;
};

struct TRegKey {
    QString Path;
    bool Delete = false;
    QList<TRegValue> Values;
};

struct TRegFile {
    QList<TRegKey> Keys;
    QString Error; // empty when the text was read whole
};

// Throws ESysRegError when the store cannot be read.
QString ExportRegFile(TSysReg& store);
// The text of the keys and values, as the export writes it; reading it back gives the same keys and values.
QString FormatRegFile(const TRegFile& file);
TRegFile ParseRegFile(const QString& text);
// Writes a parsed file into the store in one transaction: all of it, or nothing of it. Throws ESysRegError when a
// write fails or the store cannot be reached.
void ImportRegFile(TSysReg& store, const TRegFile& file);

// A value in the escaped one-line form the tool lists: \\ \t \n \r \0 stand for themselves.
QString EscapeForListing(const QString& text);
