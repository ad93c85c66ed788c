// The klabos-sim program as scripts start it.
#include "simexchange.h"

#include <QProcess>
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

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_simprogram.moc"
