#include "net/httpurl.h"
#include "net/replyreader.h"
#include "net/requestheader.h"

#include <QTest>

namespace {

// Collects what the reader hands on, so a reply fed in pieces can be compared with the same reply fed whole.
struct TCollector : THttpReplyHandler {
    QByteArray Body;
    QStringList Events;
    QStringList Cookies;
    void ReplyHeaderBegin() override { Events << "HeaderBegin"; }
    void ReplyHeaderLine() override { Events << "HeaderLine"; }
    void ReplyCookie(const QString& value) override { Cookies << value; }
    void ReplyHeaderEnd() override { Events << "HeaderEnd"; }
    void ReplyBody(const char* data, qsizetype length) override { Body.append(data, length); }
};

} // namespace

class TestHttpParsers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseUrl_data();
    void parseUrl();
    void optionalHeaderLines_data();
    void optionalHeaderLines();
    void readerFields_data();
    void readerFields();
    void readerGivesSameResultForAnySplit();
};

void TestHttpParsers::parseUrl_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QStringList>("parts"); // scheme, user, password, host, port, path
    QTest::newRow("service endpoint") << "http://chat.klabos.cz/cgi-bin/klabos/mix.fcgi"
                                      << QStringList{"http", "", "", "chat.klabos.cz", "", "/cgi-bin/klabos/mix.fcgi"};
    QTest::newRow("proxy host and port") << "proxy.firma.cz:3128"
                                         << QStringList{"", "", "", "proxy.firma.cz", "3128", ""};
    QTest::newRow("proxy with scheme") << "http://proxy:8080/" << QStringList{"http", "", "", "proxy", "8080", "/"};
    QTest::newRow("credentials, last @ ends them")
        << "http://jan:p@ss@host:81/x" << QStringList{"http", "jan", "p@ss", "host", "81", "/x"};
    QTest::newRow("password keeps its colons")
        << "http://jan:a:b@host/" << QStringList{"http", "jan", "a:b", "host", "", "/"};
    QTest::newRow("bare path") << "/index.html" << QStringList{"http", "", "", "", "", "/index.html"};
    QTest::newRow("upper-case scheme") << "HTTP://Host/A" << QStringList{"http", "", "", "Host", "", "/A"};
    QTest::newRow("ipv6 literal") << "http://[::1]:8080/a" << QStringList{"http", "", "", "::1", "8080", "/a"};
}

void TestHttpParsers::parseUrl() {
    QFETCH(QString, url);
    QFETCH(QStringList, parts);
    const THttpUrl parsed = ParseHttpUrl(url);
    QCOMPARE(QStringList({parsed.Scheme, parsed.User, parsed.Password, parsed.Host, parsed.Port, parsed.Path}), parts);
}

void TestHttpParsers::optionalHeaderLines_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QList<QByteArray>>("lines");
    const QByteArray first = "GET / HTTP/1.0";
    const QByteArray host = "Host: host";
    QTest::newRow("referer before host") << "Reference" << QList<QByteArray>{first, "Referer: http://a/", host, ""};
    QTest::newRow("modified since, no zone conversion")
        << "ModifiedSince" << QList<QByteArray>{first, host, "If-Modified-Since: Sun, 04 Jan 2026 07:05:09 GMT", ""};
    QTest::newRow("basic authorization") << "Username"
                                         << QList<QByteArray>{first, host, "Authorization: Basic amFuOnRham5l", ""};
    QTest::newRow("open range") << "Range" << QList<QByteArray>{first, host, "Range: bytes=100-", ""};
}

void TestHttpParsers::optionalHeaderLines() {
    QFETCH(QString, setting);
    QFETCH(QList<QByteArray>, lines);
    THttpRequestFields fields;
    fields.Method = "GET";
    fields.Target = "/";
    fields.TargetHost = "host";
    if (setting == QLatin1String("Reference")) {
        fields.Reference = "http://a/";
    } else if (setting == QLatin1String("ModifiedSince")) {
        fields.ModifiedSince = QDateTime(QDate(2026, 1, 4), QTime(7, 5, 9), Qt::OffsetFromUTC, 3600);
    } else if (setting == QLatin1String("Username")) {
        fields.Username = "jan";
        fields.Password = "tajne";
    } else if (setting == QLatin1String("Range")) {
        fields.RangeBegin = "100";
    }
    QCOMPARE(BuildRequestHeaderLines(fields), lines);
}

void TestHttpParsers::readerFields_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QStringList>("range"); // begin, end
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("fields and cookies")
        << QByteArray("HTTP/1.1 206 Partial Content\r\nContent-Length:   10\r\nContent-Range: bytes 5-14/100\r\n"
                      "Set-Cookie: s=1\r\nX-Other: y\r\n\r\n0123456789")
        << 206 << "Partial Content" << qint64(10) << QStringList{"5", "14"} << QByteArray("0123456789");
    QTest::newRow("bare LF line ends, no reason") << QByteArray("HTTP/1.0 200\n\nbody\n") << 200 << "" << qint64(-1)
                                                  << QStringList{"", ""} << QByteArray("body\n");
    QTest::newRow("garbage length is ignored") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: lots\r\n\r\n") << 200
                                               << "OK" << qint64(-1) << QStringList{"", ""} << QByteArray();
    QTest::newRow("error status stops at once")
        << QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nabc") << 404 << "Not Found" << qint64(-1)
        << QStringList{"", ""} << QByteArray();
}

void TestHttpParsers::readerFields() {
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(QString, reason);
    QFETCH(qint64, length);
    QFETCH(QStringList, range);
    QFETCH(QByteArray, body);
    TCollector collector;
    THttpReplyReader reader(collector);
    const THttpReplyReader::TVerdict verdict = reader.Feed(reply.constData(), reply.size());
    QCOMPARE(verdict, status >= 400 ? THttpReplyReader::TVerdict::Close : THttpReplyReader::TVerdict::Continue);
    QCOMPARE(reader.Header().StatusCode, status);
    QCOMPARE(reader.Header().ReasonPhrase, reason);
    QCOMPARE(reader.Header().ContentLength, length);
    QCOMPARE(QStringList({reader.Header().ContentRangeBegin, reader.Header().ContentRangeEnd}), range);
    QCOMPARE(collector.Body, body);
}

void TestHttpParsers::readerGivesSameResultForAnySplit() {
    const QByteArray reply = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Type: text/plain\r\n\r\nab\r\ncd";
    TCollector whole;
    THttpReplyReader wholeReader(whole);
    wholeReader.Feed(reply.constData(), reply.size());
    for (int first = 0; first <= reply.size(); ++first) {
        for (int second = first; second <= reply.size(); ++second) {
            TCollector pieces;
            THttpReplyReader reader(pieces);
            reader.Feed(reply.constData(), first);
            reader.Feed(reply.constData() + first, second - first);
            reader.Feed(reply.constData() + second, reply.size() - second);
            QCOMPARE(pieces.Body, whole.Body);
            QCOMPARE(pieces.Events, whole.Events);
            QCOMPARE(pieces.Cookies, QStringList{"a=1"});
            QCOMPARE(reader.Header().ReceivedHeader, wholeReader.Header().ReceivedHeader);
        }
    }
}

QTEST_GUILESS_MAIN(TestHttpParsers)
#include "tst_httpparsers.moc"
