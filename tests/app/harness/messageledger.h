#pragma once

#include <QJsonArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

class TSysReg;

// A message the stand-in handed out, as it sent it.
struct THandedMessage {
    quint64 Id = 0;
    QString Stamp;
    QString Sender;
    QString Text;
    // The stored form: "[dd.mm.yyyy hh:mm:ss] text".
    QString StoredText() const;
};

// What the stand-in's request record tells of a run: the messages it handed out, the ids the program confirmed
// (the next retrieval's "last_msg", sent only after the message was stored), and how the session requests went.
class TMessageLedger {
public:
    // Reads the requests of one "requests/take" answer. An entry that is not a recorded request is no request the
    // program made: it goes to Malformed, never to the counts.
    void Take(const QJsonArray& requests);

    QMap<quint64, THandedMessage> HandedOut;
    QSet<quint64> Confirmed;
    int Logins = 0;
    int PeopleAnswered = 0; // a list, not an error page
    int PeopleRefused = 0;  // an error page (expired key, a failure asked for)
    int Retrievals = 0;
    int Dropped = 0; // recorded, and closed or reset without a reply as the stand-in was told to
    QStringList Malformed;
    // When the last list was answered and the last login was asked for, in milliseconds since the epoch.
    qint64 LastPeopleAnsweredAt = 0;
    qint64 LastLoginAt = 0;
};

// Every problem of the store with these messages: one missing, or stored with another text. Empty when all is well.
QStringList CheckStoredMessages(TSysReg& store, const QList<THandedMessage>& messages);
// The messages in the store that are none of these (by sender and time stamp), as "sender, stamp: text".
QStringList UnknownStoredMessages(TSysReg& store, const QList<THandedMessage>& messages);
// How many messages the store holds, over every sender.
int StoredMessageCount(TSysReg& store);
