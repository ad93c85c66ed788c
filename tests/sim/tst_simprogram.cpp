// The klabos-sim program as scripts start it.
#include "simexchange.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

// Starting and ending a process may take long under a sanitizer on a busy machine; these are no measure of speed.
constexpr int ProcessTimeout = 60000;

class TestSimProgram : public QObject {
    Q_OBJECT

private:
    // Starts the program and reads the port from its first line.
    static quint16 Start(QProcess& process, const QStringList& arguments);

private Q_SLOTS:
    void printsPortAndServes();
    void requiresProxyCredentials_data();
    void requiresProxyCredentials();
    void refusesBadArguments_data();
    void refusesBadArguments();
    void stateOutlivesARestart();
    void refusesAStateItCannotRead();
};

quint16 TestSimProgram::Start(QProcess& process, const QStringList& arguments) {
    process.setProgram(QStringLiteral(KLABOS_SIM_PROGRAM));
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    if (!process.waitForStarted(ProcessTimeout)) {
        return 0;
    }
    while (!process.canReadLine() && process.waitForReadyRead(ProcessTimeout)) {
    }
    const QByteArray line = process.readLine().trimmed();
    return line.startsWith("port ") ? quint16(line.mid(5).toUInt()) : 0;
}

void TestSimProgram::printsPortAndServes() {
    QProcess process;
    const quint16 port =
        Start(process, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--seed"), QStringLiteral("5")});
    QVERIFY(port > 0);
    const SimExchange login = SimExchange::Post(port, "/cgi-bin/klabos/mix.fcgi", "akce=get&jmeno=demo&heslo=demo");
    QVERIFY(login.Body().startsWith("<>"));
    QCOMPARE(SimExchange::Get(port, "/control/state").Status(), 200);
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(ProcessTimeout));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestSimProgram::requiresProxyCredentials_data() {
    QTest::addColumn<QByteArray>("credentials");
    QTest::addColumn<int>("status");
    QTest::newRow("none") << QByteArray() << 407;
    QTest::newRow("wrong") << QByteArray("user:nope") << 407;
    QTest::newRow("right") << QByteArray("user:pass:word") << 200;
}

void TestSimProgram::requiresProxyCredentials() {
    QFETCH(QByteArray, credentials);
    QFETCH(int, status);
    QProcess process;
    const quint16 port = Start(process, {QStringLiteral("--proxy-auth"), QStringLiteral("user:pass:word")});
    QVERIFY(port > 0);
    QList<QPair<QByteArray, QByteArray>> headers;
    if (!credentials.isEmpty()) {
        headers.append({"Proxy-Authorization", "Basic " + credentials.toBase64()});
    }
    const SimExchange reply = SimExchange::Post(port, "http://chat.klabos.cz/cgi-bin/klabos/mix.fcgi",
                                                "akce=get&jmeno=demo&heslo=demo", headers);
    QCOMPARE(reply.Status(), status);
    process.terminate();
    QVERIFY(process.waitForFinished(ProcessTimeout));
}

void TestSimProgram::refusesBadArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("port out of range") << QStringList{QStringLiteral("--port"), QStringLiteral("70000")};
    QTest::newRow("seed not a number") << QStringList{QStringLiteral("--seed"), QStringLiteral("abc")};
    QTest::newRow("credentials without a colon") << QStringList{QStringLiteral("--proxy-auth"), QStringLiteral("user")};
    QTest::newRow("stray argument") << QStringList{QStringLiteral("extra")};
}

void TestSimProgram::refusesBadArguments() {
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(QStringLiteral(KLABOS_SIM_PROGRAM), arguments);
    QVERIFY(process.waitForFinished(ProcessTimeout));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(!process.readAllStandardError().isEmpty());
}

void TestSimProgram::stateOutlivesARestart() {
    QTemporaryDir folder;
    const QString state = folder.filePath(QStringLiteral("world.json"));
    const QStringList arguments{QStringLiteral("--state"), state};
    quint64 firstId = 0;
    {
        QProcess process;
        const quint16 port = Start(process, arguments);
        QVERIFY(port > 0);
        const QByteArray queued = SimExchange::Get(port, "/control/message?to=demo&from=Ema&text=Ahoj").Body();
        firstId = QJsonDocument::fromJson(queued).object().value(QStringLiteral("id")).toInteger();
        QVERIFY(firstId > 0);
        SimExchange::Post(port, "/cgi-bin/klabos/mix.fcgi", "akce=get&jmeno=demo&heslo=demo");
        process.terminate();
        QVERIFY(process.waitForFinished(ProcessTimeout));
        QCOMPARE(process.exitCode(), 0);
    }
    // The login was recorded and never taken: it is kept beside the state, not lost with the process.
    QFile left(state + QStringLiteral(".requests"));
    QVERIFY(left.open(QIODevice::ReadOnly));
    const QJsonArray requests = QJsonDocument::fromJson(left.readAll()).array();
    QCOMPARE(requests.size(), 1);
    QVERIFY(requests.at(0).toObject().value(QStringLiteral("body")).toString().startsWith(u"akce=get"));
    QProcess process;
    const quint16 port = Start(process, arguments);
    QVERIFY(port > 0);
    // The message waits still, and the next one gets the next id.
    const QByteArray login =
        SimExchange::Post(port, "/cgi-bin/klabos/mix.fcgi", "akce=get&jmeno=demo&heslo=demo").Body();
    const QByteArray key = login.mid(2, login.indexOf("<2>") - 2);
    const QByteArray message =
        SimExchange::Post(port, "/cgi-bin/klabos/mix.fcgi", "akce=zpravy&jmeno=demo&heslo=" + key + "&last_msg=0")
            .Body();
    QVERIFY2(message.startsWith(QByteArray::number(firstId) + '<'), message.constData());
    QVERIFY(message.endsWith("<Ema<Ahoj"));
    const QByteArray queued = SimExchange::Get(port, "/control/message?to=demo&from=Ema&text=Znovu").Body();
    QCOMPARE(QJsonDocument::fromJson(queued).object().value(QStringLiteral("id")).toInteger(), qint64(firstId + 1));
    process.terminate();
    QVERIFY(process.waitForFinished(ProcessTimeout));
}

void TestSimProgram::refusesAStateItCannotRead() {
    QTemporaryDir folder;
    const QString state = folder.filePath(QStringLiteral("world.json"));
    QFile file(state);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"version\": 1, \"rooms\": 7}");
    file.close();
    QProcess process;
    process.start(QStringLiteral(KLABOS_SIM_PROGRAM), {QStringLiteral("--state"), state});
    QVERIFY(process.waitForFinished(ProcessTimeout));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("state"));
    // The file is left as it was, for whoever wants to look at it.
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("{\"version\": 1, \"rooms\": 7}"));
}

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_simprogram.moc"
