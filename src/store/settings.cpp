#include "store/settings.h"

TSettings Settings;

QString MessagesKeyOf(const QString& nick) {
    // A backslash would split the nick into two key names and a control character cannot stand in a key path; both
    // become characters that Windows-1250 text never holds, so no two nicks share a key.
    QString name = nick;
    for (QChar& character : name) {
        if (character == QLatin1Char('\\')) {
            character = QChar(0x2216);
        } else if (character.unicode() < 0x20) {
            character = QChar(0x2400 + character.unicode());
        }
    }
    return MessagesKey + QLatin1Char('\\') + name;
}

QString VersionText() {
    return QString::number(CVRLIK_VERSION_MAJOR) + QLatin1Char('.') + QString::number(CVRLIK_VERSION_MINOR);
}
