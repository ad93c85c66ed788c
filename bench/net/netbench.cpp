// Request rate of small form POSTs against a loopback server that closes after each reply, our client beside
// QNetworkAccessManager in the same run, and the throughput of one 10 MB reply body with the memory it takes.

#include "net/httpclient.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int Requests = 2000;
constexpr qint64 BigBody = 10 * 1024 * 1024;
const QByteArray SmallReply = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nzprava poslana";

// The loopback server, on a thread of its own: it reads a whole request, answers and closes. "/big" gets a 10 MB
// body, written a block at a time as the socket drains, so neither side ever holds all of it.
class TBenchServer : public QObject {
public:
    QTcpServer* Server = nullptr;
    std::atomic<quint16> Port = 0;

    // Runs on the server's thread, so that the listening socket and its connections live there.
    void Start() {
        Server = new QTcpServer(this);
        connect(Server, &QTcpServer::newConnection, this, &TBenchServer::Accept);
        Server->listen(QHostAddress::LocalHost);
        Port = Server->serverPort();
    }

private:
    void Accept() {
        while (QTcpSocket* socket = Server->nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
        }
    }

    void Read(QTcpSocket* socket) {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0 || socket->property("answered").toBool())
            return;
        const qsizetype lengthAt = request.toLower().indexOf("content-length:");
        const qint64 length =
            lengthAt < 0 ? 0 : request.mid(lengthAt + 15, 12).split('\r').first().trimmed().toLongLong();
        if (request.size() < end + 4 + length)
            return;
        socket->setProperty("answered", true);
        if (request.contains(" /big ")) {
            socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
            socket->setProperty("left", BigBody);
            connect(socket, &QTcpSocket::bytesWritten, socket, [socket] { WriteBig(socket); });
            WriteBig(socket);
        } else if (request.contains(" /slow ")) {
            QTimer::singleShot(1000, socket, [socket] {
                socket->write(SmallReply);
                socket->disconnectFromHost();
            });
        } else {
            socket->write(SmallReply);
            socket->disconnectFromHost();
        }
    }

    static void WriteBig(QTcpSocket* socket) {
        static const QByteArray block(64 * 1024, 'z');
        qint64 left = socket->property("left").toLongLong();
        while (left > 0 && socket->bytesToWrite() < 256 * 1024) {
            const qint64 size = qMin<qint64>(left, block.size());
            socket->write(block.constData(), size);
            left -= size;
        }
        socket->setProperty("left", left);
        if (left == 0 && socket->bytesToWrite() == 0)
            socket->disconnectFromHost();
    }
};

qint64 ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Runs `count` POSTs one after another on our client; returns the seconds taken.
double RunOurs(const QString& url, int count) {
    THttpClient client;
    client.URL = url;
    QBuffer body;
    int done = 0;
    int failed = 0;
    QEventLoop loop;
    auto start = [&] {
        body.close();
        body.setData("akce=lidi&nick=bench&heslo=0123456789");
        body.open(QIODevice::ReadOnly);
        client.PostBody = &body;
        client.StartPost();
    };
    QObject::connect(&client, &THttpClient::OnRequestDone, &loop, [&](THttpRequest, quint16 error) {
        failed += error != 0;
        if (++done == count)
            loop.quit();
        else
            start();
    });
    QElapsedTimer timer;
    timer.start();
    start();
    loop.exec();
    if (failed)
        std::printf("  (ours: %d failed requests)\n", failed);
    return double(timer.nsecsElapsed()) / 1e9;
}

double RunManager(const QString& url, int count) {
    QNetworkAccessManager manager;
    int done = 0;
    int failed = 0;
    QEventLoop loop;
    std::function<void()> start = [&] {
        QNetworkRequest request{QUrl(url)};
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        QNetworkReply* reply = manager.post(request, QByteArrayLiteral("akce=lidi&nick=bench&heslo=0123456789"));
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
            reply->readAll();
            failed += reply->error() != QNetworkReply::NoError;
            reply->deleteLater();
            if (++done == count)
                loop.quit();
            else
                start();
        });
    };
    QElapsedTimer timer;
    timer.start();
    start();
    loop.exec();
    if (failed)
        std::printf("  (QNetworkAccessManager: %d failed requests)\n", failed);
    return double(timer.nsecsElapsed()) / 1e9;
}

void RunBigBody(const QString& url) {
    THttpClient client;
    client.URL = url;
    qint64 received = 0;
    const qint64 before = ResidentKiB();
    qint64 peak = before;
    qint64 nextSample = 0;
    QObject::connect(&client, &THttpClient::OnDocData, &client, [&](const char*, int length) {
        received += length;
        if (received >= nextSample) {
            peak = qMax(peak, ResidentKiB());
            nextSample = received + 256 * 1024;
        }
    });
    QEventLoop loop;
    quint16 error = 0;
    QObject::connect(&client, &THttpClient::OnRequestDone, &loop, [&](THttpRequest, quint16 code) {
        error = code;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    client.StartGet();
    loop.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("10 MB body: %lld bytes in %.3f s = %.0f MB/s (error %u)\n", static_cast<long long>(received), seconds,
                double(received) / (1024.0 * 1024.0) / seconds, unsigned(error));
    std::printf("resident memory: %lld KiB before, %lld KiB at most while streaming (+%lld KiB)\n",
                static_cast<long long>(before), static_cast<long long>(peak), static_cast<long long>(peak - before));
}

// Waits in the event loop for a reply that the server holds back for a second: the wait must sleep, not spin.
void RunSlowWait(const QString& url) {
    THttpClient client;
    client.URL = url;
    QBuffer body;
    body.setData("akce=lidi");
    body.open(QIODevice::ReadOnly);
    client.PostBody = &body;
    QEventLoop loop;
    QObject::connect(&client, &THttpClient::OnRequestDone, &loop, [&loop] { loop.quit(); });
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuBefore = std::clock();
    client.StartPost();
    loop.exec();
    const double cpu = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    std::printf("A reply held back 1 s: %.3f s waited, %.3f s of CPU used\n", double(timer.nsecsElapsed()) / 1e9, cpu);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QThread serverThread;
    TBenchServer server;
    server.moveToThread(&serverThread);
    QObject::connect(&serverThread, &QThread::started, &server, [&server] { server.Start(); });
    serverThread.start();
    while (server.Port == 0)
        QThread::msleep(10);
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.Port.load());
    const QString endpoint = base + QStringLiteral("/cgi-bin/klabos/mix.fcgi");

    RunOurs(endpoint, 100); // warm up both sides
    RunManager(endpoint, 100);
    const double ours = RunOurs(endpoint, Requests);
    const double manager = RunManager(endpoint, Requests);
    const double oursRate = Requests / ours;
    const double managerRate = Requests / manager;
    std::printf("small POSTs, connection closed after each reply, %d requests each:\n", Requests);
    std::printf("  THttpClient:           %8.0f requests/s\n", oursRate);
    std::printf("  QNetworkAccessManager: %8.0f requests/s\n", managerRate);
    std::printf("  ratio ours / QNetworkAccessManager: %.2f\n", oursRate / managerRate);

    RunBigBody(base + QStringLiteral("/big"));
    RunSlowWait(base + QStringLiteral("/slow"));

    QMetaObject::invokeMethod(
        &server, [&server] { delete server.Server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return 0;
}
