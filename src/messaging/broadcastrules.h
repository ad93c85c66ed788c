#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

// The rules of a broadcast run, apart from any window.

// The one login nick for which the broadcast controls can be shown.
inline const QString BroadcastNick = QStringLiteral("KORMORAN");

// Upper case of the letters a to z only; every other character stays as it is.
QString UpperAscii(const QString& text);
// The nicks a broadcast never addresses.
bool IsExcludedNick(const QString& nick);
// Whether some line of the log names the nick (anywhere in the line, letter case of a to z ignored) together with
// a delivery ("...OK").
bool ServedBefore(const QStringList& logLines, const QString& nick);

// The date and time as the log writes them: the user's short date format, and the long time format without a time
// zone.
QString LogDate(const QDate& date);
QString LogTime(const QTime& time);

// The lines that open the record of a run in the log (the last one empty).
QStringList RunRecordLines(const QString& date, const QString& loginName, bool newOnly, const QString& message);
