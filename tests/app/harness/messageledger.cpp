#include "messageledger.h"

#include "store/settings.h"
#include "store/sysreg.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString FieldOf(const QJsonObject& request, const QString& name) {
    for (const QJsonValue& field : request.value(QStringLiteral("fields")).toArray()) {
        const QJsonArray pair = field.toArray();
        if (pair.at(0).toString() == name) {
            return pair.at(1).toString();
        }
    }
    return QString();
}

bool IsErrorPage(const QString& reply) {
    const qsizetype title = reply.indexOf(QStringLiteral("</title>"), 0, Qt::CaseInsensitive);
    return title > 0 && reply.left(title).contains(QStringLiteral("ERROR"), Qt::CaseInsensitive);
}

} // namespace

QString THandedMessage::StoredText() const {
    const QString time = QStringLiteral("%1.%2.%3 %4:%5:%6")
                             .arg(Stamp.mid(6, 2), Stamp.mid(4, 2), Stamp.mid(0, 4), Stamp.mid(8, 2), Stamp.mid(10, 2),
                                  Stamp.mid(12, 2));
    return QStringLiteral("[%1] %2").arg(time, Text);
}

void TMessageLedger::Take(const QJsonArray& requests) {
    static const QRegularExpression message(QStringLiteral("^(\\d+)<(\\d{14})<([^<]*)<(.*)$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    for (const QJsonValue& value : requests) {
        const QJsonObject request = value.toObject();
        if (!value.isObject() || !request.value(QStringLiteral("status")).isDouble()) {
            Malformed.append(QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)));
            continue;
        }
        const QString action = FieldOf(request, QStringLiteral("akce"));
        const QString reply = request.value(QStringLiteral("reply")).toString();
        const int status = request.value(QStringLiteral("status")).toInt();
        const qint64 at = request.value(QStringLiteral("receivedAt")).toInteger();
        if (status == 0) {
            ++Dropped;
            continue;
        }
        if (action == u"get") {
            ++Logins;
            LastLoginAt = qMax(LastLoginAt, at);
        } else if (action == u"lidi") {
            if (IsErrorPage(reply)) {
                ++PeopleRefused;
            } else {
                ++PeopleAnswered;
                LastPeopleAnsweredAt = qMax(LastPeopleAnsweredAt, at);
            }
        } else if (action == u"zpravy") {
            ++Retrievals;
            const quint64 confirmed = FieldOf(request, QStringLiteral("last_msg")).toULongLong();
            if (confirmed > 0) {
                Confirmed.insert(confirmed);
            }
            const QRegularExpressionMatch parts = message.match(reply);
            if (parts.hasMatch()) {
                const quint64 id = parts.captured(1).toULongLong();
                HandedOut.insert(id, {id, parts.captured(2), parts.captured(3), parts.captured(4)});
            }
        }
    }
}

QStringList CheckStoredMessages(TSysReg& store, const QList<THandedMessage>& messages) {
    QStringList problems;
    for (const THandedMessage& message : messages) {
        store.CloseKey();
        QString stored;
        bool found = false;
        if (store.OpenKey(MessagesKeyOf(message.Sender), false)) {
            found = store.ValueExists(message.Stamp);
            stored = found ? store.ReadString(message.Stamp) : QString();
        }
        store.CloseKey();
        if (!found) {
            problems.append(QStringLiteral("message %1 from %2, stamp %3, is not in the store")
                                .arg(message.Id)
                                .arg(message.Sender, message.Stamp));
        } else if (stored != message.StoredText()) {
            problems.append(QStringLiteral("message %1 from %2, stamp %3, is stored as \"%4\"")
                                .arg(message.Id)
                                .arg(message.Sender, message.Stamp, stored));
        }
    }
    return problems;
}

QStringList UnknownStoredMessages(TSysReg& store, const QList<THandedMessage>& messages) {
    QSet<QString> known;
    for (const THandedMessage& message : messages) {
        known.insert(MessagesKeyOf(message.Sender).toCaseFolded() + u'\n' + message.Stamp.toCaseFolded());
    }
    const QString prefix = (MessagesKey + u'\\').toCaseFolded();
    QStringList unknown;
    for (const QString& path : store.GetKeyPaths()) {
        if (!path.toCaseFolded().startsWith(prefix) || !store.OpenKey(path, false)) {
            store.CloseKey();
            continue;
        }
        for (const QString& stamp : store.GetValueNames()) {
            if (!known.contains(path.toCaseFolded() + u'\n' + stamp.toCaseFolded())) {
                unknown.append(
                    QStringLiteral("%1, %2: %3").arg(path.mid(prefix.size()), stamp, store.ReadString(stamp)));
            }
        }
        store.CloseKey();
    }
    return unknown;
}

int StoredMessageCount(TSysReg& store) {
    const QString prefix = (MessagesKey + u'\\').toCaseFolded();
    int count = 0;
    for (const QString& path : store.GetKeyPaths()) {
        if (path.toCaseFolded().startsWith(prefix) && store.OpenKey(path, false)) {
            count += int(store.GetValueNames().size());
        }
        store.CloseKey();
    }
    return count;
}
