// The two send dialogs with one message each: the limit and the count, the body cut, the reply texts, Stop, a
// refused connection, and F11.
#include "messaging/messagememo.h"
#include "messaging/sendcliform.h"
#include "messaging/sendmsgform.h"
#include "sendfixture.h"
#include "widgets/application.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

enum TKind { ToChat, ToClient };

std::unique_ptr<TSendFormBase> MakeDialog(TKind kind, TMessagingSession& session, const QString& nick) {
    std::unique_ptr<TSendFormBase> dialog;
    if (kind == ToChat) {
        dialog = std::make_unique<TSendMsgForm>(session);
    } else {
        dialog = std::make_unique<TSendCliForm>(session);
    }
    dialog->NickLabel->setText(nick);
    dialog->show();
    return dialog;
}

// Where the addressee can be reached by the dialog's kind of message.
void PutOnline(KlabosSim::World& world, TKind kind, const QString& nick) {
    if (kind == ToChat) {
        world.EnterRoom(nick, QStringLiteral("12"), 3);
    } else {
        world.SetClient(nick, true);
    }
}

} // namespace

Q_DECLARE_METATYPE(TKind)

class TestSendForms : public QObject {
    Q_OBJECT

    std::unique_ptr<TSendFixture> Fixture;

    static void AddKindColumn() { QTest::addColumn<TKind>("kind"); }

private Q_SLOTS:
    void init() {
        Fixture = std::make_unique<TSendFixture>();
        QVERIFY(Fixture->Start());
    }
    void cleanup() { Fixture.reset(); }

    void limitAndCount_data() {
        AddKindColumn();
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<int>("erased");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("sendEnabled");
        for (const TKind kind : {ToChat, ToClient}) {
            const char* name = kind == ToChat ? "chat" : "client";
            QTest::addRow("%s: 120 letters leave 0", name)
                << kind << QString(120, u'a') << QString() << 0 << 120 << true;
            QTest::addRow("%s: a 121st letter is refused", name)
                << kind << QString(121, u'a') << QString() << 0 << 120 << true;
            QTest::addRow("%s: a Czech letter counts once", name)
                << kind << QStringLiteral("Žluťoučký kůň") << QString() << 0 << 13 << true;
            QTest::addRow("%s: a paste is cut to the room left", name)
                << kind << QString(100, u'a') << QString(30, u'b') << 0 << 120 << true;
            QTest::addRow("%s: erasing everything disables Send", name)
                << kind << QStringLiteral("ok") << QString() << 2 << 0 << false;
        }
    }
    void limitAndCount() {
        QFETCH(TKind, kind);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(int, erased);
        QFETCH(int, length);
        QFETCH(bool, sendEnabled);
        auto dialog = MakeDialog(kind, Fixture->Session, QStringLiteral("alice"));
        QVERIFY(!dialog->SendButton->isEnabled());
        QCOMPARE(dialog->CharsRemainingEdit->text(), QStringLiteral("120"));
        TypeText(dialog->MsgMemo, typed);
        if (!pasted.isEmpty()) {
            QApplication::clipboard()->setText(pasted);
            dialog->MsgMemo->paste();
        }
        for (int key = 0; key < erased; ++key) {
            QTest::keyClick(dialog->MsgMemo, Qt::Key_Backspace);
        }
        QCOMPARE(dialog->MsgMemo->toPlainText().size(), length);
        QCOMPARE(dialog->CharsRemainingEdit->text(), QString::number(120 - length));
        QCOMPARE(dialog->SendButton->isEnabled(), sendEnabled);
    }

    void longCzechMessageIsMarkedAndCutWhole() {
        PutOnline(Fixture->Sim.TheWorld(), ToChat, QStringLiteral("alice"));
        auto dialog = MakeDialog(ToChat, Fixture->Session, QStringLiteral("alice"));
        const QString message = QStringLiteral("Příliš žluťoučký kůň ").repeated(6).left(120);
        TypeText(dialog->MsgMemo, message);
        QCOMPARE(dialog->CharsRemainingEdit->text(), QStringLiteral("0"));
        // Seen before sending: the end that will not fit is marked.
        const qsizetype sent = dialog->MsgMemo->UnsentFrom();
        QVERIFY(sent > 0 && sent < message.size());

        QTest::mouseClick(dialog->SendButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->Waiting, NetTimeout);
        QCOMPARE(dialog->StatusLabel->text(), QStringLiteral("Odeslano."));
        const KlabosSim::RecordedRequest request = Fixture->Sim.Requests().last();
        QVERIFY(request.Body.size() <= 255);
        QCOMPARE(request.Field(QStringLiteral("akce")), QStringLiteral("vzkaz"));
        QCOMPARE(request.Field(QStringLiteral("text")), message.left(sent));
        QCOMPARE(Fixture->Sim.TheWorld().FindUser(QStringLiteral("alice"))->Inbox.last().Text, message.left(sent));
    }

    void replyTexts_data() {
        AddKindColumn();
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("closes");
        for (const TKind kind : {ToChat, ToClient}) {
            const char* name = kind == ToChat ? "chat" : "client";
            QTest::addRow("%s: delivered, the dialog closes", name) << kind << "online"
                                                                    << "Odeslano." << true;
            QTest::addRow("%s: addressee off-line", name) << kind << "offline"
                                                          << "Uživatel nenalezen." << false;
            QTest::addRow("%s: the sender lacks the star", name) << kind << "nostar"
                                                                 << "Nemáte hvězdičku. Zpráva neodeslána." << false;
            QTest::addRow("%s: an error page", name) << kind << "errorpage"
                                                     << "Nemáte oprávnění." << false;
            QTest::addRow("%s: an HTTP error without a document", name) << kind << "nodocument"
                                                                        << "Nemáte oprávnění." << false;
        }
    }
    void replyTexts() {
        QFETCH(TKind, kind);
        QFETCH(QString, situation);
        QFETCH(QString, status);
        QFETCH(bool, closes);
        KlabosSim::World& world = Fixture->Sim.TheWorld();
        if (situation != u"offline") {
            PutOnline(world, kind, QStringLiteral("alice"));
        }
        if (situation == u"nostar") {
            world.FindUser(QStringLiteral("demo"))->CanSend = false;
        } else if (situation == u"errorpage") {
            Fixture->Sim.FailNext(1);
        } else if (situation == u"nodocument") {
            // The proxy asks for a password the settings do not give: an error status, whose body nobody reads.
            Fixture->Sim.SetProxyAuth(QStringLiteral("proxyuser"), QStringLiteral("proxypass"));
        }
        auto dialog = MakeDialog(kind, Fixture->Session, QStringLiteral("alice"));
        TypeText(dialog->MsgMemo, QStringLiteral("Ahoj"));
        QTest::mouseClick(dialog->SendButton, Qt::LeftButton);
        QCOMPARE(dialog->StatusLabel->text(), QStringLiteral("Hledá se server..."));
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->Waiting, NetTimeout);
        QCOMPARE(dialog->StatusLabel->text(), status);
        QCOMPARE(dialog->isVisible(), !closes);
        QCOMPARE(dialog->result() == QDialog::Accepted, closes);
        // Whatever the answer, the text stays for another try.
        QVERIFY(dialog->MsgMemo->isEnabled() && dialog->SendButton->isEnabled() && !dialog->StopButton->isEnabled());
        QCOMPARE(dialog->MsgMemo->toPlainText(), QStringLiteral("Ahoj"));
        QVERIFY(ShownBoxes().isEmpty());
    }

    // Stop during a request, and a refused connection: either way the dialog is ready for another try.
    void interruptedRequestLeavesTheDialogReady_data() {
        AddKindColumn();
        QTest::addColumn<bool>("refused");
        for (const TKind kind : {ToChat, ToClient}) {
            const char* name = kind == ToChat ? "chat" : "client";
            QTest::addRow("%s: Stop while the reply is awaited", name) << kind << false;
            QTest::addRow("%s: the connection is refused", name) << kind << true;
        }
    }
    void interruptedRequestLeavesTheDialogReady() {
        QFETCH(TKind, kind);
        QFETCH(bool, refused);
        PutOnline(Fixture->Sim.TheWorld(), kind, QStringLiteral("alice"));
        const quint16 port = Fixture->Sim.Port();
        if (refused) {
            Fixture->Sim.StopListening();
        } else {
            Fixture->Sim.SetDelay(120000);
        }
        auto dialog = MakeDialog(kind, Fixture->Session, QStringLiteral("alice"));
        TypeText(dialog->MsgMemo, QStringLiteral("Jsi tam?"));
        QTest::mouseClick(dialog->SendButton, Qt::LeftButton);
        if (refused) {
            QTRY_COMPARE_WITH_TIMEOUT(ShownBoxes().size(), 1, NetTimeout);
            QCOMPARE(ShownBoxes().first().Caption, QStringLiteral("Chyba připojování"));
            QCOMPARE(ShownBoxes().first().Text,
                     QStringLiteral("Server korektně neodpověděl.\r\nZkontroluje "
                                    "připojení a nastavení proxy serveru.\r\n\r\nChyba: 10061"));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(Fixture->Sim.Requests().size(), 1, NetTimeout);
            QVERIFY(dialog->StopButton->isEnabled() && !dialog->MsgMemo->isEnabled());
            QTest::mouseClick(dialog->StopButton, Qt::LeftButton);
            QVERIFY(ShownBoxes().isEmpty());
        }
        QCOMPARE(Fixture->Session.ReconnectBox.isChecked(), !refused);
        QCOMPARE(dialog->StatusLabel->text(), QStringLiteral("Připraven..."));
        QVERIFY(!dialog->Waiting && dialog->MsgMemo->isEnabled() && dialog->SendButton->isEnabled());
        QVERIFY(!dialog->StopButton->isEnabled());

        // The same text goes out with the next press.
        Fixture->Sim.SetDelay(0);
        if (refused) {
            QVERIFY(Fixture->Sim.Listen(port));
        }
        QTest::mouseClick(dialog->SendButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), NetTimeout);
        QCOMPARE(dialog->StatusLabel->text(), QStringLiteral("Odeslano."));
    }

    void f11ShowsTheBroadcastControlsOnlyForTheFixedNick_data() {
        QTest::addColumn<QString>("loginName");
        QTest::addColumn<int>("presses");
        QTest::addColumn<int>("grownBy");
        QTest::newRow("another nick") << "demo" << 1 << 0;
        QTest::newRow("the fixed nick") << "KORMORAN" << 1 << 200;
        QTest::newRow("the fixed nick in other letter case, twice") << "Kormoran" << 2 << 0;
    }
    void f11ShowsTheBroadcastControlsOnlyForTheFixedNick() {
        QFETCH(QString, loginName);
        QFETCH(int, presses);
        QFETCH(int, grownBy);
        Settings.LoginName = loginName;
        TSendMsgForm dialog(Fixture->Session);
        dialog.show();
        const int height = dialog.height();
        for (int press = 0; press < presses; ++press) {
            QTest::keyClick(dialog.MsgMemo, Qt::Key_F11);
        }
        QCOMPARE(dialog.height(), height + grownBy);
        QCOMPARE(dialog.SendToAllCheckBox->isVisible(), grownBy > 0);
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestSendForms test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sendforms.moc"
