// Prints how fast the people reply of 10,000 users is read: our one-pass tokenizer beside a plain
// regular-expression parse of the same records.
#include "session/protocol.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int Users = 10000;
constexpr int Rounds = 50;

QString MakeReply() {
    QString reply = QStringLiteral("<html><head><title>Lidi</title></head><body>\n");
    for (int user = 0; user < Users; ++user) {
        const QString nick = QStringLiteral("uzivatel_%1").arg(user);
        reply += QStringLiteral("<tr><td>%1*%2>Místnost %3#%4></td></tr>\n")
                     .arg(QStringLiteral("%1").arg(user % 60, 4, 10, QLatin1Char('0')), nick)
                     .arg(user % 37)
                     .arg(1000 + user % 37);
        if (user % 10 == 0) {
            reply += QStringLiteral(" *%1>KLIENT#>\n").arg(nick);
        }
    }
    return reply + QStringLiteral("</body></html>");
}

class TCounter : public TPeopleReplyHandler {
public:
    qint64 Records = 0;
    void OnNick(QStringView) override {}
    void OnRoomRecord(QStringView, QStringView, QStringView, QStringView) override { ++Records; }
    void OnClientRecord(QStringView, QStringView) override { ++Records; }
};

double MegabytesPerSecond(qint64 bytes, qint64 nanoseconds) {
    return double(bytes) / 1e6 / (double(nanoseconds) / 1e9);
}

} // namespace

int main() {
    const QString reply = MakeReply();
    const qint64 bytes = reply.size(); // one byte a character on the wire

    TCounter counter;
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < Rounds; ++round) {
        TokenizePeopleReply(reply, counter);
    }
    const qint64 tokenizerNs = timer.nsecsElapsed();

    static const QRegularExpression record(QStringLiteral("0*(\\d*)\\*([^<>]*)[<>]([^#]*)#([^>]*)>"));
    qint64 regexRecords = 0;
    timer.restart();
    for (int round = 0; round < Rounds; ++round) {
        for (auto match = record.globalMatch(reply); match.hasNext(); match.next()) {
            ++regexRecords;
        }
    }
    const qint64 regexNs = timer.nsecsElapsed();

    const double ours = MegabytesPerSecond(bytes * Rounds, tokenizerNs);
    const double baseline = MegabytesPerSecond(bytes * Rounds, regexNs);
    std::printf("people reply: %d users, %.2f MB, %lld records a pass\n", Users, double(bytes) / 1e6,
                static_cast<long long>(counter.Records / Rounds));
    std::printf("tokenizer:          %8.1f MB/s\n", ours);
    std::printf("regular expression: %8.1f MB/s  (%lld records a pass)\n", baseline,
                static_cast<long long>(regexRecords / Rounds));
    std::printf("ratio: %.1fx (target: tokenizer at least 300 MB/s)\n", ours / baseline);
    return 0;
}
