#include "peoplereader.h"

#include "session/protocol.h"

namespace {

class TRecordCollector : public TPeopleReplyHandler {
public:
    QStringList Records;
    void OnNick(QStringView) override {}
    void OnRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId) override {
        Records << QStringLiteral("room %1 %2 %3 %4")
                       .arg(nick.toString(), idleText.toString(), roomName.toString(), roomId.toString());
    }
    void OnClientRecord(QStringView nick, QStringView) override {
        Records << QStringLiteral("client ") + nick.toString();
    }
};

} // namespace

QStringList ReadPeopleReply(QString text) {
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    TRecordCollector collector;
    TokenizePeopleReply(text, collector);
    return collector.Records;
}
