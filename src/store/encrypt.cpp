#include "store/encrypt.h"

#include "text/codepage.h"

namespace {

int ShiftAt(qsizetype position) {
    return int((position + 1) % 8);
} // positions count from 1

} // namespace

QByteArray ScrambleText(const QByteArray& plain) {
    if (plain.isEmpty()) {
        return {};
    }
    QByteArray stored(plain.size() + 1, Qt::Uninitialized);
    for (qsizetype i = 0; i < plain.size(); ++i) {
        stored[i] = char((uchar(plain[i]) + ShiftAt(i + 1)) & 0xFF);
    }
    stored[plain.size()] = char(255 - uchar(stored[plain.size() - 1]));
    return stored;
}

QByteArray UnscrambleText(const QByteArray& stored) {
    const qsizetype n = stored.size();
    if (n < 2) {
        return {};
    }
    if (uchar(stored[n - 1]) != 255 - uchar(stored[n - 2])) {
        return {};
    }
    QByteArray plain(n - 1, Qt::Uninitialized);
    for (qsizetype i = 0; i < n - 1; ++i) {
        plain[i] = char((uchar(stored[i]) - ShiftAt(i + 1)) & 0xFF);
    }
    return plain;
}

QString ScrambleText(const QString& plain) {
    return FromCp1250(ScrambleText(ToCp1250(plain)));
}

QString UnscrambleText(const QString& stored) {
    return FromCp1250(UnscrambleText(ToCp1250(stored)));
}
