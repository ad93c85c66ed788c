// Feeds arbitrary bytes, as the service could send them, as the people reply: through the tokenizer, and through the
// list rebuild with a watched-user list made of nicks the reply names. The first byte chooses which of them are
// watched, how they are spelt and which are announced. A first byte of 0xFF makes the reply the rest repeated to
// 64 KB, so that replies of thousands of records are tried as well as short ones. (Larger repeats cost over a
// second an input under the sanitizers and starve the rest of the run.)
#include "session/arrivallist.h"
#include "session/onlinelistupdate.h"
#include "session/protocol.h"
#include "text/codepage.h"

#include "fuzzcheck.h"

#include <QHash>
#include <QSet>

#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

constexpr quint8 RepeatMark = 0xFF;
constexpr qsizetype RepeatedSize = 64 * 1024;
constexpr int ClientIdle = 65535;

// What the tokenizer reports, per nick letter case ignored; every view it hands out must lie inside the reply.
class TRecordCollector : public TPeopleReplyHandler {
public:
    struct TNickRecords {
        int Rooms = 0;
        bool Client = false;
        int MinIdle = std::numeric_limits<int>::max();
    };

    explicit TRecordCollector(QStringView reply)
        : Reply(reply) {}

    QStringList Nicks;
    QHash<QString, TNickRecords> Records;

    void OnNick(QStringView nick) override {
        CheckInside(nick);
        Nicks.append(nick.toString());
    }
    void OnRoomRecord(QStringView nick, QStringView idleText, QStringView roomName, QStringView roomId) override {
        CheckInside(nick);
        CheckInside(roomName);
        CheckInside(roomId);
        FUZZ_CHECK(!Nicks.isEmpty() && Nicks.constLast() == nick);
        TNickRecords& records = Records[nick.toString().toCaseFolded()];
        ++records.Rooms;
        records.MinIdle = qMin(records.MinIdle, IdleValue(idleText));
    }
    void OnClientRecord(QStringView nick, QStringView /*idleText*/) override {
        CheckInside(nick);
        FUZZ_CHECK(!Nicks.isEmpty() && Nicks.constLast() == nick);
        TNickRecords& records = Records[nick.toString().toCaseFolded()];
        records.Client = true;
        records.MinIdle = qMin(records.MinIdle, ClientIdle);
    }

private:
    QStringView Reply;

    void CheckInside(QStringView part) const {
        if (!part.isEmpty()) {
            FUZZ_CHECK(part.data() >= Reply.data() && part.data() + part.size() <= Reply.data() + Reply.size());
        }
    }
};

QString ReplyOf(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] != RepeatMark || bytes.isEmpty()) {
        return FromCp1250(bytes);
    }
    QByteArray repeated;
    repeated.reserve(RepeatedSize + bytes.size());
    while (repeated.size() < RepeatedSize) {
        repeated.append(bytes);
    }
    return FromCp1250(repeated);
}

// Some of the reply's nicks, some in capitals, some twice, some announced, and one nick the reply never names.
QList<TWatchedUser> WatchedFrom(const QStringList& nicks, quint8 seed) {
    QList<TWatchedUser> watched;
    quint32 state = seed;
    for (const QString& nick : nicks) {
        if (watched.size() >= 200) {
            break;
        }
        state = state * 1103515245u + 12345u;
        const quint32 choice = state >> 16;
        if ((choice & 3) == 0) {
            continue;
        }
        watched.append({(choice & 4) ? nick.toUpper() : nick, (choice & 8) != 0});
        if ((choice & 0x30) == 0x30) {
            watched.append({nick.toLower(), (choice & 0x40) != 0});
        }
    }
    watched.append({QStringLiteral("Nikdo-tu-není"), true});
    return watched;
}

QSet<QString> FoldedNicks(const QList<TWatchedUser>& watched) {
    QSet<QString> folded;
    for (const TWatchedUser& user : watched) {
        folded.insert(user.Nick.toCaseFolded());
    }
    return folded;
}

// The nicks the popup may announce: the first spelling of each watched nick that has its flag on.
QSet<QString> AnnounceableNicks(const QList<TWatchedUser>& watched) {
    QSet<QString> seen;
    QSet<QString> announceable;
    for (const TWatchedUser& user : watched) {
        const QString folded = user.Nick.toCaseFolded();
        if (!seen.contains(folded)) {
            seen.insert(folded);
            if (user.Notify) {
                announceable.insert(user.Nick);
            }
        }
    }
    return announceable;
}

void CheckList(const TOnlineList& list, const QList<TWatchedUser>& watched, const TRecordCollector& records) {
    const QSet<QString> watchedFolded = FoldedNicks(watched);
    // Every watched user once: on-line ones first in alphabetical order, then the off-line ones.
    FUZZ_CHECK(list.Count() == watchedFolded.size());
    QSet<QString> listed;
    bool offlineSeen = false;
    for (int index = 0; index < list.Count(); ++index) {
        const QString folded = list.NickAt(index).toCaseFolded();
        FUZZ_CHECK(watchedFolded.contains(folded));
        FUZZ_CHECK(!listed.contains(folded));
        listed.insert(folded);
        const TItemDetails* details = list.DetailsAt(index);
        FUZZ_CHECK(details);
        const bool online = details->Rooms || details->IsClient;
        if (!online) {
            offlineSeen = true;
            FUZZ_CHECK(!records.Records.contains(folded));
            continue;
        }
        FUZZ_CHECK(!offlineSeen);
        if (index > 0) {
            FUZZ_CHECK(QString::compare(list.NickAt(index - 1), list.NickAt(index), Qt::CaseInsensitive) <= 0);
        }
        // The entry holds every record of the nick, however the reply spelt it.
        const TRecordCollector::TNickRecords expected = records.Records.value(folded);
        FUZZ_CHECK(details->RoomCount() == expected.Rooms);
        FUZZ_CHECK(details->IsClient == expected.Client);
        FUZZ_CHECK(details->MinIdle == expected.MinIdle);
    }
}

void CheckNotices(const QStringList& notifyNicks, const QList<TWatchedUser>& watched) {
    const QSet<QString> announceable = AnnounceableNicks(watched);
    for (qsizetype index = 0; index < notifyNicks.size(); ++index) {
        FUZZ_CHECK(announceable.contains(notifyNicks.at(index)));
        if (index > 0) {
            FUZZ_CHECK(QString::compare(notifyNicks.at(index - 1), notifyNicks.at(index), Qt::CaseInsensitive) < 0);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const quint8 seed = data[0];
    const QString reply = ReplyOf(data, size);
    QString text = reply;
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    TRecordCollector records(text);
    TokenizePeopleReply(text, records);

    const QList<TWatchedUser> watched = WatchedFrom(records.Nicks, seed);
    TListUpdateSettings settings;
    settings.LoginName = (seed & 1) && !records.Nicks.isEmpty() ? records.Nicks.constFirst() : QStringLiteral("Nikdo");
    settings.NotifyNewUsersOnly = (seed & 2) != 0;
    settings.NewArrivalMs = 1;

    TOnlineList list;
    TArrivalList arrivals;
    QStringList replyNicks;
    QStringList notifyNicks;
    TOnlineListUpdate update(list, arrivals, replyNicks, notifyNicks);
    // Twice, the second time a millisecond later: every arrival is no longer new then.
    for (int run = 0; run < 2; ++run) {
        const TListUpdateResult result = update.Run(reply, watched, settings);
        FUZZ_CHECK(result.ErrorReply == IsErrorReply(text));
        if (result.ErrorReply) {
            FUZZ_CHECK(list.Count() == 0 && replyNicks.isEmpty() && notifyNicks.isEmpty());
            break;
        }
        FUZZ_CHECK(result.OwnIdle >= 0);
        FUZZ_CHECK(replyNicks == records.Nicks);
        CheckList(list, watched, records);
        CheckNotices(notifyNicks, watched);
        ++settings.Now;
    }
    return 0;
}
