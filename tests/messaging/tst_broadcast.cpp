// The broadcast mode of the chat message dialog: runs over the last people reply's nicks, their log, Stop, and a
// transport failure ending a run.
#include "messaging/broadcastrules.h"
#include "messaging/messagememo.h"
#include "messaging/sendmsgform.h"
#include "sendfixture.h"
#include "store/datafolder.h"
#include "text/codepage.h"
#include "widgets/application.h"
#include "widgets/gauge.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>

namespace {

const QString LogPath = TBroadcastLog::DefaultPath();

QByteArray LogBytes() {
    QFile file(LogPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteLog(const QByteArray& bytes) {
    QDir().mkpath(DataFolder());
    QFile file(LogPath);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The recipient lines of the last run, with the time taken out: "alice ...OK".
QStringList RecipientLines() {
    const QString text = FromCp1250(LogBytes());
    QStringList lines = text.mid(text.lastIndexOf(QStringLiteral("\r\n\r\n")) + 4).split(QStringLiteral("\r\n"));
    lines.removeAll(QString());
    for (QString& line : lines) {
        line.remove(QRegularExpression(QStringLiteral("^\\[[^\\]]+\\] ")));
    }
    return lines;
}

} // namespace

class TestBroadcast : public QObject {
    Q_OBJECT

    std::unique_ptr<TSendFixture> Fixture;
    std::unique_ptr<TSendMsgForm> Dialog;

    // The dialog with its broadcast controls shown and the message typed.
    void OpenExpanded(const QString& message, bool newOnly) {
        Dialog = std::make_unique<TSendMsgForm>(Fixture->Session);
        Dialog->NickLabel->setText(QStringLiteral("alice"));
        Dialog->show();
        QTest::keyClick(Dialog->MsgMemo, Qt::Key_F11);
        Dialog->SendToAllCheckBox->setChecked(true);
        Dialog->NewOnlyCheckBox->setChecked(newOnly);
        TypeText(Dialog->MsgMemo, message);
    }

    // Presses Send and waits until the run (or the single message) has ended.
    void SendAndWait() {
        Dialog->SendButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(!Dialog->RunActive() && !Dialog->Waiting, NetTimeout);
    }

    // Presses Stop once the stand-in has seen this many requests (after its handler, not inside it).
    void StopAtRequest(int count) {
        connect(&Fixture->Sim, &KlabosSim::Server::RequestRecorded, Dialog.get(), [this, count] {
            if (Fixture->Sim.Requests().size() == count) {
                QMetaObject::invokeMethod(
                    Dialog.get(), [this] { QTest::mouseClick(Dialog->StopButton, Qt::LeftButton); },
                    Qt::QueuedConnection);
            }
        });
    }

private Q_SLOTS:
    void init() {
        Fixture = std::make_unique<TSendFixture>();
        QVERIFY(Fixture->Start(QStringLiteral("Kormoran")));
        QFile::remove(LogPath);
        for (const char* nick : {"alice", "Bob"}) {
            Fixture->Sim.TheWorld().EnterRoom(QString::fromLatin1(nick), QStringLiteral("12"), 1);
        }
    }
    void cleanup() {
        Dialog.reset();
        Fixture.reset();
    }

    void runsOverTheReplyNicks_data() {
        QTest::addColumn<QStringList>("nicks");
        QTest::addColumn<bool>("newOnly");
        QTest::addColumn<QStringList>("addressees");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<bool>("refused"); // the service cannot be reached
        QTest::addColumn<bool>("hidden");  // F11 hid the controls again before Send
        const QStringList both{"alice", "Bob"};
        QTest::newRow("new only passes over a nick the log has delivered to")
            << both << true << QStringList{"Bob"} << QStringList{"alice ...Skipped", "Bob ...OK"} << false << false;
        QTest::newRow("to all, whatever the log holds")
            << both << false << both << QStringList{"alice ...OK", "Bob ...OK"} << false << false;
        QTest::newRow("controls hidden again: a success closes nothing, the run goes on")
            << both << false << both << QStringList{"alice ...OK", "Bob ...OK"} << false << true;
        QTest::newRow("an excluded last nick gets nothing")
            << QStringList{"Bob", "Admin"} << true << QStringList{"Bob"} << QStringList{"Bob ...OK"} << false << false;
        QTest::newRow("a nick served before as the last one")
            << QStringList{"Bob", "alice"} << true << QStringList{"Bob"} << QStringList{"Bob ...OK", "alice ...Skipped"}
            << false << false;
        QTest::newRow("new only: a nick named twice gets one message")
            << QStringList{"Bob", "bob"} << true << QStringList{"Bob"} << QStringList{"Bob ...OK", "bob ...Skipped"}
            << false << false;
        QTest::newRow("an off-line nick is an error")
            << QStringList{"cyril", "Bob"} << true << QStringList{"cyril", "Bob"}
            << QStringList{"cyril ...Error", "Bob ...OK"} << false << false;
        // The run ends at a transport failure: the user has the report and starts again.
        QTest::newRow("a refused connection ends the run")
            << both << false << QStringList() << QStringList{"alice ...Error"} << true << false;
    }
    void runsOverTheReplyNicks() {
        QFETCH(QStringList, nicks);
        QFETCH(bool, newOnly);
        QFETCH(QStringList, addressees);
        QFETCH(QStringList, logged);
        QFETCH(bool, refused);
        QFETCH(bool, hidden);
        WriteLog("1.1.24 as Kormoran.\r\nText: Ahoj\r\n\r\n[10:00:00] alice ...OK\r\n");
        Fixture->Session.Nicks = nicks;
        OpenExpanded(QStringLiteral("Ahoj všem"), newOnly);
        if (hidden) {
            QTest::keyClick(Dialog->MsgMemo, Qt::Key_F11);
        }
        if (refused) {
            Fixture->Sim.StopListening();
        }
        SendAndWait();

        QCOMPARE(Fixture->Addressees(), addressees);
        QCOMPARE(RecipientLines(), logged);
        QCOMPARE(Dialog->StatusLabel->text(),
                 refused ? QStringLiteral("Připraven...") : QStringLiteral("Rozesílaní bylo dokončeno."));
        QVERIFY(!Dialog->BroadcastLog.IsOpen());
        QCOMPARE(Dialog->Gauge->Progress(), refused ? 0 : nicks.size());
        QTRY_COMPARE_WITH_TIMEOUT(ShownBoxes().size(), refused ? 1 : 0, NetTimeout);
        QCOMPARE(Dialog->SendHistoryListBox->count(), logged.size());
        // The dialog is ready for the next run.
        QVERIFY(Dialog->SendButton->isEnabled() && Dialog->MsgMemo->isEnabled() && !Dialog->StopButton->isEnabled());
        QVERIFY(Dialog->isVisible());
    }

    void logBytesOfARun_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("separator");
        QTest::newRow("a new log") << QByteArray() << QByteArray();
        QTest::newRow("a log from earlier runs") << QByteArray("earlier\r\n") << QByteArray("earlier\r\n\r\n\r\n");
    }
    void logBytesOfARun() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, separator);
        if (!before.isEmpty()) {
            WriteLog(before);
        }
        Fixture->Session.Nicks = {QStringLiteral("alice")};
        OpenExpanded(QStringLiteral("Ahoj všem"), true);
        SendAndWait();

        const QByteArray expected = separator + ToCp1250(LogDate(QDate::currentDate())) +
                                    " as Kormoran.\r\nOnly send to users that are NOT already in this log.\r\n"
                                    "Text: Ahoj v\x9A"
                                    "em\r\n\r\n[";
        const QByteArray bytes = LogBytes();
        QVERIFY2(bytes.startsWith(expected), bytes.constData());
        QVERIFY2(bytes.endsWith("] alice ...OK\r\n"), bytes.constData());
        // Private to the user: nothing for the group or others, the log and its folder alike.
        QVERIFY(!(QFile::permissions(LogPath) & 0x0077) && !(QFile::permissions(DataFolder()) & 0x0077));
    }

    void stopDuringARun_data() {
        QTest::addColumn<int>("stopAt");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("before the last recipient") << 1 << "Připraven..." << QStringList{"alice"};
        QTest::newRow("while the last reply is awaited")
            << 2 << "Rozesílaní bylo dokončeno." << QStringList{"alice ...OK", "Bob"};
    }
    void stopDuringARun() {
        QFETCH(int, stopAt);
        QFETCH(QString, status);
        QFETCH(QStringList, logged);
        Fixture->Session.Nicks = {QStringLiteral("alice"), QStringLiteral("Bob")};
        OpenExpanded(QStringLiteral("Ahoj"), false);
        // The reply to the request that Stop interrupts does not come in time; a delay set when one request is
        // seen holds for the next.
        Fixture->Sim.SetDelay(stopAt == 1 ? 120000 : 0);
        connect(&Fixture->Sim, &KlabosSim::Server::RequestRecorded, Dialog.get(),
                [this, stopAt] { Fixture->Sim.SetDelay(Fixture->Sim.Requests().size() == stopAt - 1 ? 120000 : 0); });
        StopAtRequest(stopAt);
        SendAndWait();

        QCOMPARE(Fixture->Sim.Requests().size(), stopAt);
        QCOMPARE(Dialog->StatusLabel->text(), status);
        QCOMPARE(RecipientLines(), logged);
        QVERIFY(LogBytes().endsWith("\r\n")); // no half line: the stopped recipient's line ends
        QVERIFY(!Dialog->BroadcastLog.IsOpen());
        QVERIFY(ShownBoxes().isEmpty());
    }

    void secondRunGoesThroughTheFirstRunsNicksAgain() {
        Fixture->Session.Nicks = {QStringLiteral("alice")};
        OpenExpanded(QStringLiteral("Ahoj"), false);
        SendAndWait();
        Fixture->Session.Nicks = {QStringLiteral("Bob")};
        SendAndWait();
        QCOMPARE(Dialog->RecipientList, (QStringList{"alice", "Bob"}));
        QCOMPARE(Fixture->Addressees(), (QStringList{"alice", "alice", "Bob"}));
        QCOMPARE(RecipientLines(), (QStringList{"alice ...OK", "Bob ...OK"}));
    }

    // The mark holds for the longest nick of the run, not the one in the title strip, also one that a refresh
    // brought after the typing: every recipient gets the message up to the mark, none more, none less.
    void markHoldsForTheLongestRecipient() {
        const QString longNick = QStringLiteral("Bartolomej_z_Horni_Dolni_Lhoty");
        Fixture->Session.Nicks = {QStringLiteral("alice")};
        OpenExpanded(QString(), false);
        // Room for all of it in a message to alice, not in one to the long nick.
        const QString message = QStringLiteral("Příliš žluťoučký kůň ").repeated(5).left(100);
        TypeText(Dialog->MsgMemo, message);
        QCOMPARE(Dialog->MsgMemo->UnsentFrom(), -1);
        Fixture->Session.Nicks.append(longNick);
        SendAndWait();
        const qsizetype marked = Dialog->MsgMemo->UnsentFrom();
        QVERIFY(marked > 0);
        QCOMPARE(Fixture->Addressees(), (QStringList{"alice", longNick}));
        for (const KlabosSim::RecordedRequest& request : Fixture->Sim.Requests()) {
            QCOMPARE(request.Field(QStringLiteral("text")), message.left(marked));
        }
    }

    void nobodyOnline() {
        OpenExpanded(QStringLiteral("Ahoj"), true);
        SendAndWait();
        QCOMPARE(Dialog->StatusLabel->text(), QStringLiteral("Nikdo není on-line."));
        QVERIFY(!QFile::exists(LogPath));
        QVERIFY(Fixture->Sim.Requests().isEmpty());
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestBroadcast test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_broadcast.moc"
