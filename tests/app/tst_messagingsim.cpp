// The message windows opened by the main window, end to end against the service stand-in: a sender's messages read
// and answered.
#include "app/onlinelistbox.h"
#include "messaging/inmsgform.h"
#include "messaging/messagememo.h"
#include "messaging/sendmsgform.h"
#include "sessionfixture.h"
#include "widgets/application.h"

#include <QLabel>
#include <QPushButton>
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
        QVERIFY(TModal::Shown().isEmpty());
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    TModal::SetTestMode(true);
    TDesktop::SetTestMode(true);
    TestMessagingSim test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_messagingsim.moc"
