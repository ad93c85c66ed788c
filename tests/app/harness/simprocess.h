#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QUrlQuery>

// The parameters of a control request, in the order given.
QUrlQuery ControlQuery(std::initializer_list<std::pair<QString, QString>> items);

// Appends the requests of a stopped stand-in's ".requests" file to `requests`, one by one. False, with the reason in
// `failure` and nothing appended, when the file cannot be read or is not an array of request objects: a request
// the record lost would make every count after it wrong.
bool ReadLeftRequests(const QString& path, QJsonArray& requests, QString& failure);

// klabos-sim run as a process of its own, as the service is one: started, steered over its control interface,
// frozen, stopped and started again on the same port with the world it wrote at its end.
class TSimProcess {
public:
    TSimProcess(QString program, quint32 seed, QString statePath);
    ~TSimProcess();
    TSimProcess(const TSimProcess&) = delete;
    TSimProcess& operator=(const TSimProcess&) = delete;

    // Starts on the port (0 picks a free one the first time; later starts take the same one). False when the
    // process does not start or does not print its port.
    bool Start();
    // Ends it cleanly (SIGTERM), so that it writes its state; false when it does not end in time or its record of
    // requests cannot be read (Failure() says why). With a state file, the requests it recorded and nobody took are
    // kept for TakeLeftRequests.
    bool Stop();
    QJsonArray TakeLeftRequests();
    QString Failure() const { return LastFailure; }
    // Stops and continues the process: a service that hangs, with connections that are taken and never answered.
    void Freeze();
    void Thaw();
    bool Running() const { return Process.state() == QProcess::Running; }
    quint16 Port() const { return ListenPort; }

    // A control call; an empty object when the call failed (the answer's "ok" is false, or none came).
    QJsonObject Control(const QString& command, const QUrlQuery& parameters = {});

private:
    QString Program;
    quint32 Seed;
    QString StatePath;
    QProcess Process;
    quint16 ListenPort = 0;
    QJsonArray LeftRequests;
    QString LastFailure;
};
