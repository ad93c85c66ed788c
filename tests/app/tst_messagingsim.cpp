// The message windows opened by the main window, end to end against the service stand-in: a sender's messages read
// and answered.
#include "app/onlinelistbox.h"
#include "messaging/inmsgform.h"
#include "messaging/messagememo.h"
#include "messaging/sendmsgform.h"
#include "sessionfixture.h"
#include "store/datafolder.h"
#include "widgets/application.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int NetTimeout = 15000;

// Stands in for the user of a send dialog: writes the text, sends it and waits until the dialog closes.
TModal::TDialogAnswer WriteAndSend(const QString& text, QString* addressee) {
    return [text, addressee](QDialog& dialog) {
        auto& send = dynamic_cast<TSendFormBase&>(dialog);
        *addressee = send.NickLabel->text();
        send.show();
        send.MsgMemo->setPlainText(text);
        send.SendButton->click();
        if (!QTest::qWaitFor([&send] { return !send.isVisible(); }, NetTimeout)) {
            return int(QDialog::Rejected); // the test sees that nothing arrived
        }
        return send.result();
    };
}

} // namespace

class TestMessagingSim : public QObject {
    Q_OBJECT

    std::unique_ptr<TSessionFixture> Fixture;

    bool LogIn() {
        Fixture->Form->ConnectSpeedButtonClick();
        return QTest::qWaitFor([this] { return Fixture->Form->LoggedIn && Fixture->SessionIdle(); }, NetTimeout);
    }

    QList<KlabosSim::Message> InboxOf(const QString& nick) { return Fixture->Sim.TheWorld().FindUser(nick)->Inbox; }

private Q_SLOTS:
    void init() {
        Fixture = std::make_unique<TSessionFixture>();
        QVERIFY(Fixture->Start());
    }
    void cleanup() { Fixture.reset(); }

    void readEachMessageAndAnswer() {
        KlabosSim::World& world = Fixture->Sim.TheWorld();
        world.EnterRoom(QStringLiteral("alice"), QStringLiteral("12"), 2);
        world.QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Ahoj"));
        world.QueueMessage(QStringLiteral("demo"), QStringLiteral("alice"), QStringLiteral("Jsi tam?"));
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        const int entry = form.OnlineListBox->Entries().IndexOf(QStringLiteral("alice"));
        QVERIFY(entry >= 0 && form.OnlineListBox->Entries().DetailsAt(entry)->HasMessages);

        QStringList read;
        QString addressee;
        TModal::PresetDialog([&](QDialog& dialog) {
            auto& viewer = dynamic_cast<TInMsgForm&>(dialog);
            viewer.show();
            read << viewer.MsgMemo->toPlainText();
            viewer.NextMsgButton->click();
            read << viewer.MsgMemo->toPlainText();
            TModal::PresetDialog(WriteAndSend(QStringLiteral("Jsem tu, díky!"), &addressee));
            viewer.ReplyButton->click();
            viewer.OKButton->click();
            return viewer.result();
        });
        form.ShowInMsgForm(QStringLiteral("alice"));

        QCOMPARE(read.size(), 2);
        QVERIFY(read[0].endsWith(QStringLiteral("] Ahoj")) && read[1].endsWith(QStringLiteral("] Jsi tam?")));
        QCOMPARE(addressee, QStringLiteral("alice"));
        QCOMPARE(InboxOf(QStringLiteral("alice")).last().Text, QStringLiteral("Jsem tu, díky!"));
        QCOMPARE(InboxOf(QStringLiteral("alice")).last().Sender, QStringLiteral("demo"));
        QVERIFY(StoredNames(MessagesKeyOf(QStringLiteral("alice"))).isEmpty());
        QVERIFY(!form.OnlineListBox->Entries().DetailsAt(entry)->HasMessages);
        QVERIFY(!form.HasStoredMessages);
        QVERIFY(!form.InMsgForm);
        QVERIFY(ShownBoxes().isEmpty());
    }

    // "&Konec" in the tray while a broadcast runs in the send dialog: the dialog's exec() returns, nothing more is
    // sent, the log's last line is whole, and the window closes the normal way once the stack has unwound.
    void quitDuringABroadcast() {
        KlabosSim::World& world = Fixture->Sim.TheWorld();
        world.AddUser(QStringLiteral("Kormoran"), QStringLiteral("heslo"), false);
        for (const char* nick : {"alice", "Bob", "cyril"}) {
            world.EnterRoom(QString::fromLatin1(nick), QStringLiteral("12"), 1);
        }
        Settings.LoginName = QStringLiteral("Kormoran");
        Settings.LoginPassword = QStringLiteral("heslo");
        QVERIFY(LogIn());
        TMainForm& form = *Fixture->Form;
        QCOMPARE(form.ReplyNicks.size(), 3);
        const QString logPath = DataFolder() + QStringLiteral("/cvadvert.log");
        QFile::remove(logPath);
        QSignalSpy closed(&form, &TMainForm::FormClosed);
        // The quit comes the moment the stand-in has the first message, before its reply is read.
        connect(&Fixture->Sim, &KlabosSim::Server::RequestRecorded, &form,
                [&form](const KlabosSim::RecordedRequest& r) {
                    if (r.Field(QStringLiteral("akce")) == QLatin1String("vzkaz")) {
                        form.EndSession->trigger();
                    }
                });
        TModal::SetTestMode(false);
        // Should the dialog stay open after all, the test fails instead of waiting for ever.
        bool rescued = false;
        QTimer rescue;
        connect(&rescue, &QTimer::timeout, this, [&rescued] {
            if (auto* stray = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                rescued = true;
                stray->QDialog::done(QDialog::Rejected);
            }
        });
        rescue.start(NetTimeout);
        QTimer::singleShot(0, this, [] {
            auto* dialog = qobject_cast<TSendMsgForm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTest::keyClick(dialog->MsgMemo, Qt::Key_F11);
            dialog->SendToAllCheckBox->setChecked(true);
            dialog->MsgMemo->setPlainText(QStringLiteral("Ahoj všem"));
            dialog->SendButton->click();
        });
        form.OpenSendMessage(QStringLiteral("alice")); // returns once the quit has closed the dialog
        TModal::SetTestMode(true);
        QVERIFY(!rescued);
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, NetTimeout);
        QVERIFY(!form.HTTPClient); // the close query ran
        QCOMPARE(Fixture->Requests(QStringLiteral("vzkaz")).size(), 1);
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray bytes = log.readAll();
        QVERIFY2(bytes.endsWith("] alice\r\n"), bytes.constData());
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestMessagingSim test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_messagingsim.moc"
