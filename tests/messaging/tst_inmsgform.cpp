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

QString MessageText(int number) {
    return QStringLiteral("[01.01.2024 12:00:0%1] zpráva %1").arg(number);
}

void StoreMessages(const QString& nick, int count) {
    for (int number = 1; number <= count; ++number) {
        Store(MessagesKeyOf(nick), QStringLiteral("2024010112000%1").arg(number), MessageText(number));
    }
}

} // namespace

class TestInMsgForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> TestStore;
    TPlainSession Session;

    std::unique_ptr<TInMsgForm> OpenViewer(int stored) {
        StoreMessages(Sender, stored);
        auto viewer = std::make_unique<TInMsgForm>(Session);
        viewer->Nick = Sender;
        return viewer;
    }

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
        QTest::newRow("one message") << 1;
        QTest::newRow("three messages") << 3;
    }
    void readsAndDeletesInOrder() {
        QFETCH(int, stored);
        auto viewer = OpenViewer(stored);
        QSignalSpy emptied(viewer.get(), &TInMsgForm::NoMessagesLeft);
        viewer->show();
        for (int shown = 1; shown < stored; ++shown) {
            QCOMPARE(viewer->MsgMemo->toPlainText(), MessageText(shown));
            QVERIFY(viewer->NextMsgButton->isEnabled());
            QTest::mouseClick(viewer->NextMsgButton, Qt::LeftButton);
            QCOMPARE(StoredNames(MessagesKeyOf(Sender)).size(), stored - shown);
        }
        QCOMPARE(viewer->MsgMemo->toPlainText(), MessageText(stored));
        QVERIFY(!viewer->NextMsgButton->isEnabled() && emptied.isEmpty());
        // OK after the last message: it is gone, the envelope mark goes, the window closes.
        QTest::mouseClick(viewer->OKButton, Qt::LeftButton);
        QVERIFY(StoredNames(MessagesKeyOf(Sender)).isEmpty());
        QCOMPARE(emptied.size(), 1);
        QCOMPARE(emptied.first().first().toString(), Sender);
        QVERIFY(!viewer->isVisible() && viewer->result() == QDialog::Accepted);
    }

    void escapeKeepsTheShownMessage() {
        auto viewer = OpenViewer(2);
        viewer->show();
        QTest::keyClick(viewer->MsgMemo, Qt::Key_Escape);
        QVERIFY(!viewer->isVisible() && viewer->result() == QDialog::Rejected);
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
        auto viewer = OpenViewer(1);
        viewer->show();
        Store(MessagesKeyOf(from), QStringLiteral("20240101130000"), QStringLiteral("[01.01.2024 13:00:00] nová"));
        viewer->MessageStored();
        QCOMPARE(viewer->NextMsgButton->isEnabled(), nextEnabled);
    }

    // Another program holding the store (the store tool importing) is no empty store: the viewer shows nothing, and
    // the sender keeps the envelope mark.
    void heldStoreIsNotEmpty() {
        {
            TSysReg before(TestStore->Registry.Folder());
            QVERIFY(before.OpenKey(MessagesKeyOf(Sender), true));
            before.WriteString(QStringLiteral("20240101120001"), MessageText(1));
            before.CloseKey();
        }
        const TExclusiveHolder holder(TestStore->Registry.DatabasePath());
        QVERIFY(holder.IsHeld());
        TInMsgForm viewer(Session);
        viewer.Nick = Sender;
        QSignalSpy emptied(&viewer, &TInMsgForm::NoMessagesLeft);
        viewer.show();
        QVERIFY(emptied.isEmpty());
        QVERIFY(viewer.MsgMemo->toPlainText().isEmpty() && !viewer.MsgMemo->placeholderText().isEmpty());
    }

    void replyControlsFollowTheSession_data() {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("listed");   // the sender's entry: "room", "client", "offline" or "none"
        QTest::addColumn<QString>("controls"); // enabled: Reply, "Na Klabos", "Na klient"; then the reply's kind
        QTest::newRow("sender in a room") << true << "room"
                                          << "RKC chat";
        QTest::newRow("sender through the client only") << true << "client"
                                                        << "R-C client";
        QTest::newRow("watched sender off-line") << true << "offline"
                                                 << "R-C client";
        QTest::newRow("sender not in the list") << true << "none"
                                                << "R-- client";
        QTest::newRow("not logged in") << false << "room"
                                       << "--- none";
    }
    void replyControlsFollowTheSession() {
        QFETCH(bool, loggedIn);
        QFETCH(QString, listed);
        QFETCH(QString, controls);
        Session.IsLoggedIn = loggedIn;
        if (listed != u"none") {
            auto details = std::make_unique<TItemDetails>();
            details->IsClient = listed == u"client";
            if (listed == u"room") {
                details->Rooms = std::make_unique<TRoomObject>();
            }
            Session.Entries.Add(QStringLiteral("ALICE"), std::move(details));
        }
        auto viewer = OpenViewer(1);
        QSignalSpy chat(viewer.get(), &TInMsgForm::SendMessageRequested);
        QSignalSpy client(viewer.get(), &TInMsgForm::SendClientMessageRequested);
        viewer->show();
        QString shown;
        shown += viewer->ReplyButton->isEnabled() ? u'R' : u'-';
        shown += viewer->ReplyKlabosRadioButton->isEnabled() ? u'K' : u'-';
        shown += viewer->ReplyClientRadioButton->isEnabled() ? u'C' : u'-';
        QTest::mouseClick(viewer->ReplyButton, Qt::LeftButton);
        shown += !chat.isEmpty() ? u" chat"_qs : !client.isEmpty() ? u" client"_qs : u" none"_qs;
        QCOMPARE(shown, controls);
        // The message is shown whatever the session's state, and the viewer stays open under the reply.
        QCOMPARE(viewer->MsgMemo->toPlainText(), MessageText(1));
        QVERIFY(viewer->isVisible());
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
