#include "settings/settings.h"

TSettings Settings;

QString MessagesKeyOf(const QString& nick) {
    QString name = nick;
    name.replace(QLatin1Char('\\'), QChar(0x2216));
    return MessagesKey + QLatin1Char('\\') + name;
}

QString VersionText() {
    return QString::number(CVRLIK_VERSION_MAJOR) + QLatin1Char('.') + QString::number(CVRLIK_VERSION_MINOR);
}
