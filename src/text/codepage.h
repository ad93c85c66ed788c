#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Every text exchanged with the service, and every scrambled password, is 8-bit Windows-1250. Inside the program
// every text is a QString; these two convert at the edge. All 256 byte values decode to a character and encode back
// to the same byte; a character the code page lacks encodes as '?'.
QByteArray ToCp1250(QStringView text);
QString FromCp1250(QByteArrayView bytes);
