#include "recordedrequest.h"

#include "text/codepage.h"

#include <QJsonArray>

namespace KlabosSim {

QByteArray RecordedRequest::Header(const QByteArray& name) const {
    for (const auto& header : Headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            return header.second;
        }
    }
    return QByteArray();
}

QString RecordedRequest::Field(const QString& name) const {
    for (const auto& field : Fields) {
        if (field.first == name) {
            return field.second;
        }
    }
    return QString();
}

QJsonObject RecordedRequest::ToJson() const {
    QJsonObject headers;
    for (const auto& header : Headers) {
        headers.insert(QString::fromLatin1(header.first), FromCp1250(header.second));
    }
    QJsonArray fields;
    for (const auto& field : Fields) {
        fields.append(QJsonArray{field.first, field.second});
    }
    return QJsonObject{{QStringLiteral("method"), QString::fromLatin1(Method)},
                       {QStringLiteral("target"), FromCp1250(Target)},
                       {QStringLiteral("path"), FromCp1250(Path)},
                       {QStringLiteral("query"), FromCp1250(Query)},
                       {QStringLiteral("headers"), headers},
                       {QStringLiteral("body"), FromCp1250(Body)},
                       {QStringLiteral("fields"), fields},
                       {QStringLiteral("viaProxy"), ViaProxy},
                       {QStringLiteral("status"), Status},
                       {QStringLiteral("reply"), FromCp1250(ReplyBody)},
                       {QStringLiteral("note"), QString::fromUtf8(Note)},
                       {QStringLiteral("receivedAt"), ReceivedAt}};
}

} // namespace KlabosSim
