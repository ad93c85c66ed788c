#include "messaging/broadcastrules.h"

#include <QLocale>
#include <array>

namespace {

const std::array<QString, 5> ExcludedNicks = {
    QStringLiteral("ADMIN"),  QStringLiteral("SPRAVCE"), QStringLiteral("SYSOP"),
    QStringLiteral("KLABOS"), QStringLiteral("ROBOT"),
};

// The locale's time format without its time-zone letters ("t", outside quotes).
QString WithoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    for (const QChar character : format) {
        if (character == QLatin1Char('\'')) {
            quoted = !quoted;
        }
        if (!quoted && character == QLatin1Char('t')) {
            continue;
        }
        result.append(character);
    }
    return result.simplified();
}

} // namespace

QString UpperAscii(const QString& text) {
    QString upper = text;
    for (QChar& character : upper) {
        if (character >= QLatin1Char('a') && character <= QLatin1Char('z')) {
            character = QChar(character.unicode() - 'a' + 'A');
        }
    }
    return upper;
}

bool IsExcludedNick(const QString& nick) {
    const QString upper = UpperAscii(nick);
    return std::find(ExcludedNicks.cbegin(), ExcludedNicks.cend(), upper) != ExcludedNicks.cend();
}

bool ServedBefore(const QStringList& logLines, const QString& nick) {
    const QString upperNick = UpperAscii(nick);
    for (const QString& line : logLines) {
        const QString upperLine = UpperAscii(line);
        if (upperLine.contains(upperNick) && upperLine.contains(QLatin1String("...OK"))) {
            return true;
        }
    }
    return false;
}

QString LogDate(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString LogTime(const QTime& time) {
    const QLocale locale = QLocale::system();
    return locale.toString(time, WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QStringList RunRecordLines(const QString& date, const QString& loginName, bool newOnly, const QString& message) {
    return {
        date + QStringLiteral(" as ") + loginName + QLatin1Char('.'),
        newOnly ? QStringLiteral("Only send to users that are NOT already in this log.")
                : QStringLiteral("Send to all users on-line."),
        QStringLiteral("Text: ") + message,
        QString(),
    };
}
