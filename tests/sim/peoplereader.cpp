#include "peoplereader.h"

QStringList ReadPeopleReply(QString text) {
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    enum { AfterRecord, Nick, RoomName, RoomId } state = AfterRecord;
    qsizetype start = 0;
    QString idle;
    QString nick;
    QString roomName;
    QStringList records;
    for (qsizetype index = 0; index < text.size(); ++index) {
        const QChar character = text.at(index);
        if (character == u'*' && state == AfterRecord) {
            if (index > 0 && (text.at(index - 1) == u' ' || text.at(index - 1) == u'>')) {
                idle = QStringLiteral("-1");
            } else {
                for (qsizetype back = index - 2; back >= start; --back) {
                    if (text.at(back) == u'0') {
                        idle = text.mid(back + 1, index - back - 1);
                        break;
                    }
                }
            }
            state = Nick;
            start = index;
        } else if ((character == u'<' || character == u'>') && state == Nick) {
            nick = text.mid(start + 1, index - start - 1);
            state = RoomName;
            start = index;
        } else if (character == u'#' && state == RoomName) {
            roomName = text.mid(start + 1, index - start - 1);
            if (index + 1 < text.size() && text.at(index + 1) == u'>') {
                state = AfterRecord;
                start = ++index;
                if (roomName.left(6).toUpper() == u"KLIENT") {
                    records.append(QStringLiteral("client ") + nick);
                }
            } else {
                state = RoomId;
                start = index;
            }
        } else if (character == u'>' && state == RoomId) {
            records.append(
                QStringLiteral("room %1 %2 %3 %4").arg(nick, idle, roomName, text.mid(start + 1, index - start - 1)));
            state = AfterRecord;
            start = index;
        }
    }
    return records;
}
