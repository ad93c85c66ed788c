#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP server on 127.0.0.1 that plays back scripted replies and records what each connection sent.
// Each reply waits for the whole request (header and Content-Length body), then writes its parts one by one with
// a short pause between them, so that the client reads them separately, and ends as the script says: an orderly
// close, a reset, or nothing (the connection stays open), optionally sending one more byte every TrickleMs.
class TScriptedServer : public QObject {
    Q_OBJECT

public:
    struct TReply {
        QList<QByteArray> Parts;
        bool Close = true;
        bool Reset = false; // end with a reset instead of an orderly close
        int TrickleMs = 0;  // after the parts, one byte this often for as long as the client stays
    };

    explicit TScriptedServer(QObject* parent = nullptr);

    quint16 Port() const { return Server.serverPort(); }
    QByteArray Url(const QByteArray& path = "/cgi-bin/klabos/mix.fcgi") const;
    // Resets every connection still open, as a server that breaks down does.
    void ResetAll();

    // Connection n gets reply n; the last reply serves every later connection too.
    QList<TReply> Replies;
    QList<QByteArray> Received;

    static TReply Reply(const QByteArray& whole) { return TReply{{whole}, true}; }

private:
    void Accept();
    void Read(QTcpSocket* socket, int connection);
    void WritePart(QTcpSocket* socket, int connection, int part);
    void Trickle(QTcpSocket* socket, int intervalMs);
    static void Reset(QTcpSocket* socket);

    QTcpServer Server;
};
