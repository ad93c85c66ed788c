// The message viewer over a real store: reading, deleting and advancing, Esc, a message stored while it is open,
// and the reply controls.
#include "messaging/inmsgform.h"
#include "plainsession.h"
#include "session/roomobject.h"
#include "store/settings.h"
#include "teststore.h"
#include "widgets/application.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString Sender = QStringLiteral("alice");

void StoreMessages(const QString& nick, int count) {
    for (int number = 1; number <= count; ++number) {
        Store(MessagesKeyOf(nick), QStringLiteral("2024010112000%1").arg(number),
              QStringLiteral("[01.01.2024 12:00:0%1] zpráva %1").arg(number));
    }
}

} // namespace

class TestInMsgForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> TestStore;
    TPlainSession Session;

private Q_SLOTS:
    void init() {
        TestStore = std::make_unique<TTestStore>();
        Session.Key = QStringLiteral("KEY");
        Session.IsLoggedIn = true;
        Session.Entries.Clear();
    }
    void cleanup() { TestStore.reset(); }

    void readsAndDeletesInOrder_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("nextPresses");
        QTest::newRow("one message: OK at once") << 1 << 0;
        QTest::newRow("three messages: next twice, then OK") << 3 << 2;
    }
    void readsAndDeletesInOrder() {
        QFETCH(int, stored);
        QFETCH(int, nextPresses);
        StoreMessages(Sender, stored);
        TInMsgForm viewer(Session);
        viewer.Nick = Sender;
        QSignalSpy emptied(&viewer, &TInMsgForm::NoMessagesLeft);
        viewer.show();
        for (int shown = 1; shown <= nextPresses; ++shown) {
            QCOMPARE(viewer.MsgMemo->toPlainText(), QStringLiteral("[01.01.2024 12:00:0%1] zpráva %1").arg(shown));
            QVERIFY(viewer.NextMsgButton->isEnabled());
            QTest::mouseClick(viewer.NextMsgButton, Qt::LeftButton);
            QCOMPARE(StoredNames(MessagesKeyOf(Sender)).size(), stored - shown);
        }
        QCOMPARE(viewer.MsgMemo->toPlainText(), QStringLiteral("[01.01.2024 12:00:0%1] zpráva %1").arg(stored));
        QVERIFY(!viewer.NextMsgButton->isEnabled());
        QVERIFY(emptied.isEmpty());
        QTest::mouseClick(viewer.OKButton, Qt::LeftButton);
        QVERIFY(StoredNames(MessagesKeyOf(Sender)).isEmpty());
        QCOMPARE(emptied.size(), 1);
        QCOMPARE(emptied.first().first().toString(), Sender);
        QCOMPARE(viewer.result(), int(QDialog::Accepted));
        QVERIFY(!viewer.isVisible());
    }

    void escapeKeepsTheShownMessage() {
        StoreMessages(Sender, 2);
        TInMsgForm viewer(Session);
        viewer.Nick = Sender;
        viewer.show();
        QTest::keyClick(viewer.MsgMemo, Qt::Key_Escape);
        QVERIFY(!viewer.isVisible());
        QCOMPARE(viewer.result(), int(QDialog::Rejected));
        QCOMPARE(StoredNames(MessagesKeyOf(Sender)).size(), 2);
    }

    void messageStoredWhileOpen_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("nextEnabled");
        QTest::newRow("from the sender on display") << Sender << true;
        QTest::newRow("from someone else") << QStringLiteral("Bob") << false;
    }
    void messageStoredWhileOpen() {
        QFETCH(QString, from);
        QFETCH(bool, nextEnabled);
        StoreMessages(Sender, 1);
        TInMsgForm viewer(Session);
        viewer.Nick = Sender;
        viewer.show();
        QVERIFY(!viewer.NextMsgButton->isEnabled());
        Store(MessagesKeyOf(from), QStringLiteral("20240101130000"), QStringLiteral("[01.01.2024 13:00:00] nová"));
        viewer.MessageStored();
        QCOMPARE(viewer.NextMsgButton->isEnabled(), nextEnabled);
    }

    void replyControlsFollowTheSession_data() {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("listed"); // "room", "client" or "none"
        QTest::addColumn<bool>("replyEnabled");
        QTest::addColumn<bool>("klabosEnabled");
        QTest::addColumn<bool>("clientEnabled");
        QTest::addColumn<bool>("toClient");
        QTest::newRow("sender in a room") << true << "room" << true << true << true << false;
        QTest::newRow("sender through the client only") << true << "client" << true << false << true << true;
        QTest::newRow("sender not in the list") << true << "none" << true << false << false << true;
        QTest::newRow("not logged in") << false << "room" << false << false << false << false;
    }
    void replyControlsFollowTheSession() {
        QFETCH(bool, loggedIn);
        QFETCH(QString, listed);
        QFETCH(bool, replyEnabled);
        QFETCH(bool, klabosEnabled);
        QFETCH(bool, clientEnabled);
        QFETCH(bool, toClient);
        Session.IsLoggedIn = loggedIn;
        if (listed != u"none") {
            auto details = std::make_unique<TItemDetails>();
            if (listed == u"room") {
                details->Rooms = std::make_unique<TRoomObject>();
                details->Rooms->RoomName = QStringLiteral("Hlavní místnost");
            } else {
                details->IsClient = true;
            }
            Session.Entries.Add(QStringLiteral("ALICE"), std::move(details));
        }
        StoreMessages(Sender, 1);
        TInMsgForm viewer(Session);
        viewer.Nick = Sender;
        QSignalSpy chat(&viewer, &TInMsgForm::SendMessageRequested);
        QSignalSpy client(&viewer, &TInMsgForm::SendClientMessageRequested);
        viewer.show();
        QCOMPARE(viewer.ReplyButton->isEnabled(), replyEnabled);
        QCOMPARE(viewer.ReplyKlabosRadioButton->isEnabled(), klabosEnabled);
        QCOMPARE(viewer.ReplyClientRadioButton->isEnabled(), clientEnabled);
        // The message is shown whatever the session's state.
        QVERIFY(!viewer.MsgMemo->toPlainText().isEmpty());
        if (replyEnabled) {
            QTest::mouseClick(viewer.ReplyButton, Qt::LeftButton);
            QCOMPARE(client.size(), toClient ? 1 : 0);
            QCOMPARE(chat.size(), toClient ? 0 : 1);
            QVERIFY(viewer.isVisible());
        }
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    TModal::SetTestMode(true);
    TDesktop::SetTestMode(true);
    TestInMsgForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_inmsgform.moc"
