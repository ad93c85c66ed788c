#include "store/nickcomments.h"

QString CommentForEdit(const QString& stored) {
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // A lone CR (written by hand into the store) still breaks the line rather than showing as a stray sign.
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString CommentForStore(const QString& edited) {
    QString text = edited;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}
