// What the user does with the on-line list: the nick menu built for each situation, each item's action, the double
// click, the same from the keyboard, the tray icon's clicks and hiding when another program becomes active.
#include "app/nickmenu.h"
#include "listfixture.h"
#include "messaging/inmsgform.h"
#include "messaging/sendformbase.h"
#include "settings/adduserform.h"
#include "settings/commentform.h"
#include "settings/deluserform.h"
#include "widgets/application.h"
#include "widgets/imagelists.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QTest>

namespace {

const QString Service = QStringLiteral("http://" CVRLIK_SERVICE_HOST);

// "caption #image off [x] bold": the image's index in MenuImageList, a disabled item, a check mark, the default.
QString Describe(const TMainForm& form, const QAction* action) {
    if (action->isSeparator()) {
        return QStringLiteral("-");
    }
    QString line = action->text();
    for (int image = 0; image < form.MenuImageList.size(); ++image) {
        if (!action->icon().isNull() && action->icon().cacheKey() == form.MenuImageList.at(image).cacheKey()) {
            line += QStringLiteral(" #%1").arg(image);
        }
    }
    if (!action->isEnabled()) {
        line += QStringLiteral(" off");
    }
    if (action->isCheckable()) {
        line += action->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
    }
    if (form.NickPopupMenu->defaultAction() == action && action->font().bold()) {
        line += QStringLiteral(" bold");
    }
    return line;
}

QStringList MenuLines(const TMainForm& form) {
    QStringList lines;
    for (const QAction* action : form.NickPopupMenu->actions()) {
        lines << Describe(form, action);
    }
    return lines;
}

// What a dialog opened for: its class and the nick it was given (the viewer's sender, a send dialog's addressee).
QString Opened(QDialog& dialog) {
    QString nick;
    if (const auto* viewer = qobject_cast<TInMsgForm*>(&dialog)) {
        nick = viewer->Nick;
    } else if (const auto* comment = qobject_cast<TCommentForm*>(&dialog)) {
        nick = comment->Nick;
    } else if (const auto* send = qobject_cast<TSendFormBase*>(&dialog)) {
        nick = send->NickLabel->text();
    }
    return QString::fromLatin1(dialog.metaObject()->className()) + (nick.isEmpty() ? QString() : u' ' + nick);
}

const QStringList CommonTail{"&Auto-Login #8", "&Přidej uživatele... #2", "-", "Po&tlačit oznamování [ ]"};
const QStringList CommonTailNoKey{"&Auto-Login #8 off", "&Přidej uživatele... #2", "-", "Po&tlačit oznamování [ ]"};

} // namespace

class TestListActions : public QObject {
    Q_OBJECT

    std::unique_ptr<TListFixture> Fixture;

    TMainForm& Form() { return *Fixture->Form; }

    // A watched, logged-in alice in the room Lobby (id 42), the session key "K3y", the window shown.
    void SetUpAlice(bool notify = false) {
        Fixture->Watch(QStringLiteral("alice"), notify);
        Fixture->AddEntry(QStringLiteral("alice"), {{"Lobby", "42", 5}});
        Form().SessionKey = QStringLiteral("K3y");
        Form().LoggedIn = true;
        QVERIFY(Fixture->ShowWindow());
    }
    void RightClick(int row) { Form().OnlineListBoxMouseUp(Qt::RightButton, Fixture->RowCentre(row)); }
    QAction* Item(const QString& caption) {
        for (QAction* action : Form().NickPopupMenu->actions()) {
            if (action->text() == caption) {
                return action;
            }
        }
        return nullptr;
    }
    // Opens the menu on the row and chooses the item.
    bool Choose(int row, const QString& caption) {
        RightClick(row);
        QAction* action = Item(caption);
        if (!action) {
            return false;
        }
        Form().NickPopupMenu->hide();
        action->trigger();
        return true;
    }

private Q_SLOTS:
    void init() { Fixture = std::make_unique<TListFixture>(); }
    void cleanup() {
        Fixture.reset();
        TMainForm::SystemTrayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
    }

    void menuHoldsTheItemsOfTheSituation_data() {
        QTest::addColumn<bool>("keyHeld");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<TTestRooms>("rooms");
        QTest::addColumn<bool>("messages");
        QTest::addColumn<int>("watched"); // 0 not watched, 1 watched, 2 watched with the notify flag
        QTest::addColumn<bool>("onEntry");
        QTest::addColumn<bool>("suspended");
        QTest::addColumn<QStringList>("items");

        const TTestRooms lobby{{"Lobby", "42", 5}};
        QTest::newRow("below the last entry: no leading separator")
            << false << false << lobby << false << 1 << false << false << CommonTailNoKey;
        QTest::newRow("before login: the watched nick's own items")
            << false << false << lobby << false << 2 << true << false
            << QStringList{"&Komentář #6", "&Oznamovat #4 [x]", "Odst&ranit #3", "-"} + CommonTailNoKey;
        QTest::newRow("three rooms in chain order, then the bold default")
            << true << true << TTestRooms{{"Lobby", "1", 5}, {"Bar", "2", 3}, {"Sport", "3", 12}} << false << 1 << true
            << false
            << QStringList{"Lobby (5) #0",
                           "Bar (3) #0",
                           "Sport (12) #0",
                           "-",
                           "Zpráva na &Klabos #5 bold",
                           "Zpráva na &klienta #11",
                           "-",
                           "&Komentář #6",
                           "&Oznamovat #4 [ ]",
                           "Odst&ranit #3",
                           "-"} +
                   CommonTail;
        QTest::newRow("ampersands in room names are doubled")
            << true << true << TTestRooms{{"Rock & Roll", "1", 1}, {"&&", "2", 2}} << false << 1 << true << false
            << QStringList{"Rock && Roll (1) #0",
                           "&&&& (2) #0",
                           "-",
                           "Zpráva na &Klabos #5 bold",
                           "Zpráva na &klienta #11",
                           "-",
                           "&Komentář #6",
                           "&Oznamovat #4 [ ]",
                           "Odst&ranit #3",
                           "-"} +
                   CommonTail;
        QTest::newRow("nick just removed: its items disabled, the notify mark kept")
            << true << true << lobby << false << 0 << true << false
            << QStringList{"Lobby (5) #0",
                           "-",
                           "Zpráva na &Klabos #5 off bold",
                           "Zpráva na &klienta #11 off",
                           "-",
                           "&Komentář #6 off",
                           "&Oznamovat #4 off [x]",
                           "Odst&ranit #3 off",
                           "-"} +
                   CommonTail;
        QTest::newRow("stored messages and an unnamed room: two separators in a row")
            << true << true << TTestRooms{{"", "1", 1}} << true << 1 << true << false
            << QStringList{"Přečíst příchozí &zprávy #10",
                           "-",
                           "-",
                           "Zpráva na &klienta #11",
                           "-",
                           "&Komentář #6",
                           "&Oznamovat #4 [ ]",
                           "Odst&ranit #3",
                           "-"} +
                   CommonTail;
        QTest::newRow("key kept after the connection dropped: no rooms, no sending")
            << true << false << lobby << false << 1 << true << false
            << QStringList{"-", "&Komentář #6", "&Oznamovat #4 [ ]", "Odst&ranit #3", "-"} + CommonTail;
        QTest::newRow("client user while announcements are suppressed")
            << true << true << TTestRooms{} << false << 2 << true << true
            << QStringList{"Zpráva na &klienta #11",
                           "-",
                           "&Komentář #6",
                           "&Oznamovat #4 [x]",
                           "Odst&ranit #3",
                           "-",
                           "&Auto-Login #8",
                           "&Přidej uživatele... #2",
                           "-",
                           "Po&tlačit oznamování [x]"};
    }
    void menuHoldsTheItemsOfTheSituation() {
        QFETCH(bool, keyHeld);
        QFETCH(bool, loggedIn);
        QFETCH(TTestRooms, rooms);
        QFETCH(bool, messages);
        QFETCH(int, watched);
        QFETCH(bool, onEntry);
        QFETCH(bool, suspended);
        QFETCH(QStringList, items);
        if (watched > 0) {
            Fixture->Watch(QStringLiteral("Alice"), watched == 2);
        }
        Fixture->AddEntry(QStringLiteral("alice"), rooms, rooms.isEmpty(), messages);
        Form().SessionKey = keyHeld ? QStringLiteral("K3y") : QString();
        Form().LoggedIn = loggedIn;
        Settings.SuspendNotifications = suspended;
        QVERIFY(Fixture->ShowWindow());
        Fixture->List().Entries().DetailsAt(0)->HasMessages = messages; // the first show marked none stored
        Fixture->List().setCurrentIndex(Fixture->List().model()->index(0, 0));

        const QPoint below = Fixture->RowCentre(0) + QPoint(0, 3 * TOnlineListBox::ItemHeight);
        Form().OnlineListBoxMouseUp(Qt::RightButton, onEntry ? Fixture->RowCentre(0) : below);
        QCOMPARE(Form().SelectedEntry(), onEntry ? 0 : -1);
        QCOMPARE(MenuLines(Form()).join(QLatin1Char('|')), items.join(QLatin1Char('|')));
        QVERIFY(Form().NickPopupMenu->isVisible());
        Form().NickPopupMenu->hide();
    }

    void menuOpensOnTheButtonsOfTheMouseMode_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("easyMouseMode");
        QTest::addColumn<bool>("opens");
        QTest::newRow("right button") << Qt::RightButton << false << true;
        QTest::newRow("right button, easy mode") << Qt::RightButton << true << true;
        QTest::newRow("left button, easy mode") << Qt::LeftButton << true << true;
        QTest::newRow("left button only selects") << Qt::LeftButton << false << false;
        QTest::newRow("middle button, easy mode") << Qt::MiddleButton << true << false;
    }
    void menuOpensOnTheButtonsOfTheMouseMode() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, easyMouseMode);
        QFETCH(bool, opens);
        SetUpAlice();
        Fixture->AddEntry(QStringLiteral("Bob"));
        Settings.EasyMouseMode = easyMouseMode;
        QTest::mouseClick(Fixture->List().viewport(), button, {}, Fixture->RowCentre(1));
        QCOMPARE(Form().NickPopupMenu->isVisible(), opens);
        if (opens) {
            // Where the button went up, on the screen.
            QCOMPARE(Form().NickPopupMenu->pos(), Fixture->List().viewport()->mapToGlobal(Fixture->RowCentre(1)));
        }
        if (button == Qt::LeftButton || opens) {
            QCOMPARE(Form().SelectedNick(), QStringLiteral("Bob"));
        }
        Form().NickPopupMenu->hide();
    }

    void browserAddresses_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("address");
        QTest::newRow("room: the user enters the watched user's room")
            << "Lobby (5)"
            << "K3y" << Service + "/cgi-bin/klabos/chat.fcgi?jmeno=Ji%F8%ED&heslo=K3y&ID_room=42";
        QTest::newRow("auto-login") << "&Auto-Login"
                                    << "K3y"
                                    << Service + "/cgi-bin/klabos/index.fcgi?akce=vstup&jmeno=Ji%F8%ED&heslo=K3y";
        const QString longKey(300, QLatin1Char('k'));
        QTest::newRow("a long key: cut to 255 characters")
            << "Lobby (5)" << longKey
            << (Service + "/cgi-bin/klabos/chat.fcgi?jmeno=Ji%F8%ED&heslo=" + longKey).left(255);
    }
    void browserAddresses() {
        QFETCH(QString, item);
        QFETCH(QString, key);
        QFETCH(QString, address);
        SetUpAlice();
        Settings.LoginName = QStringLiteral("Jiří");
        Form().SessionKey = key;
        SeamRecord().DesktopCalls.clear();
        QVERIFY(Choose(0, item));
        QCOMPARE(DesktopCalls(), QStringList{QStringLiteral("open ") + address});
    }

    void sendingWithoutAKeyIsReported_data() {
        QTest::addColumn<QString>("item");
        QTest::newRow("to the chat user") << "Zpráva na &Klabos";
        QTest::newRow("to the client user") << "Zpráva na &klienta";
    }
    void sendingWithoutAKeyIsReported() {
        QFETCH(QString, item);
        SetUpAlice();
        RightClick(0);
        QAction* action = Item(item);
        QVERIFY(action);
        Form().NickPopupMenu->hide();
        Form().ClearSessionKey(); // the login name changed while the menu was open
        action->trigger();
        QTRY_COMPARE(ShownBoxes().size(), 1);
        QCOMPARE(ShownBoxes().first().Caption, QStringLiteral("Nelze posílat zprávy"));
        QCOMPARE(ShownBoxes().first().Text, QStringLiteral("Cvrlik nemohl autorizovat uživatele."));
        QCOMPARE(ShownBoxes().first().Icon, QMessageBox::Critical);
    }

    void notifyToggledTwiceRestoresTheFlag() {
        SetUpAlice(false);
        QList<qint32> stored;
        for (int toggle = 0; toggle < 2; ++toggle) {
            QVERIFY(Choose(0, QStringLiteral("&Oznamovat")));
            const TStoredValue value = StoredValue(NickListKey, QStringLiteral("alice"));
            QVERIFY(std::holds_alternative<qint32>(value));
            stored << std::get<qint32>(value);
        }
        QCOMPARE(stored, (QList<qint32>{1, 0}));
        QVERIFY(!Fixture->Watched().FlagAt(0));
    }

    void removingAUser_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("commentToo");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<bool>("commentKept");
        QTest::newRow("with the comment") << true << true << true << false;
        QTest::newRow("the comment stays") << true << false << true << true;
        QTest::newRow("cancelled") << false << true << false << true;
    }
    void removingAUser() {
        QFETCH(bool, answer);
        QFETCH(bool, commentToo);
        QFETCH(bool, removed);
        QFETCH(bool, commentKept);
        Fixture->Watch(QStringLiteral("Bob"), true);
        SetUpAlice();
        Fixture->SettingsForm->SaveNickList();
        Store(NickCommentsKey, QStringLiteral("alice"), QStringLiteral("kamarádka"));
        QString asked;
        TModal::PresetDialog([&](QDialog& dialog) {
            auto& confirmation = dynamic_cast<TDelUserForm&>(dialog);
            asked = confirmation.Nick;
            confirmation.CommentTooCheckBox->setChecked(commentToo);
            return answer ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
        QVERIFY(Choose(0, QStringLiteral("Odst&ranit")));
        QCOMPARE(asked, QStringLiteral("alice"));
        QCOMPARE(Fixture->Watched().IndexOfNick(QStringLiteral("alice")) < 0, removed);
        QCOMPARE(StoredNames(NickListKey).contains(QStringLiteral("alice")), !removed);
        QCOMPARE(StoredNames(NickListKey).contains(QStringLiteral("Bob")), true);
        QCOMPARE(std::holds_alternative<QString>(StoredValue(NickCommentsKey, QStringLiteral("alice"))), commentKept);
        QVERIFY(Fixture->List().Entries().IndexOf(QStringLiteral("alice")) >= 0); // struck out until the next update
    }

    void dialogsOpenForTheSelectedNick_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("comment") << "&Komentář"
                                 << "TCommentForm alice";
        QTest::newRow("add user") << "&Přidej uživatele..."
                                  << "TAddUserForm";
        QTest::newRow("read the messages") << "Přečíst příchozí &zprávy"
                                           << "TInMsgForm alice";
    }
    void dialogsOpenForTheSelectedNick() {
        QFETCH(QString, item);
        QFETCH(QString, dialog);
        Fixture->AddEntry(QStringLiteral("Bob"));
        SetUpAlice();
        Fixture->List().Entries().DetailsAt(1)->HasMessages = true; // the first show marked none stored
        QString opened;
        TModal::PresetDialog([&](QDialog& shown) {
            opened = Opened(shown);
            return int(QDialog::Rejected);
        });
        QVERIFY(Choose(1, item));
        QCOMPARE(opened, dialog);
    }

    void suppressingAnnouncementsAndBack() {
        SetUpAlice();
        Settings.NotifyDivisor = 3;
        Form().NotifyCounter = 1;
        QVERIFY(Choose(0, QStringLiteral("Po&tlačit oznamování")));
        QVERIFY(Settings.SuspendNotifications);
        QCOMPARE(Form().NotifyCounter, 1);
        QVERIFY(Choose(0, QStringLiteral("Po&tlačit oznamování")));
        QVERIFY(!Settings.SuspendNotifications);
        QCOMPARE(Form().NotifyCounter, 3); // the next update announces
    }

    void doubleClick_data() {
        QTest::addColumn<bool>("easyMouseMode");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("messages");
        QTest::addColumn<bool>("rooms");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<bool>("keyHeld");
        QTest::addColumn<TDoubleClickAction>("action");
        QTest::newRow("messages first") << false << true << true << true << true << true
                                        << TDoubleClickAction::ReadMessages;
        QTest::newRow("messages while logged out")
            << false << true << true << false << false << false << TDoubleClickAction::ReadMessages;
        QTest::newRow("in a room: to the chat user")
            << false << true << false << true << true << true << TDoubleClickAction::SendMessage;
        QTest::newRow("no room: to the client user")
            << false << true << false << false << true << true << TDoubleClickAction::SendClientMessage;
        QTest::newRow("logged out") << false << true << false << true << false << true << TDoubleClickAction::Nothing;
        QTest::newRow("no key") << false << true << false << true << true << false << TDoubleClickAction::Nothing;
        QTest::newRow("nothing selected")
            << false << false << true << true << true << true << TDoubleClickAction::Nothing;
        QTest::newRow("easy mouse mode: the click opened the menu")
            << true << true << true << true << true << true << TDoubleClickAction::Nothing;
    }
    void doubleClick() {
        QFETCH(bool, easyMouseMode);
        QFETCH(bool, selected);
        QFETCH(bool, messages);
        QFETCH(bool, rooms);
        QFETCH(bool, loggedIn);
        QFETCH(bool, keyHeld);
        QFETCH(TDoubleClickAction, action);
        QCOMPARE(DoubleClickAction({easyMouseMode, selected, messages, rooms, loggedIn, keyHeld}), action);

        // The same through the list: a double click on the second entry, or below the entries, and what opens. Bob
        // without a room is off-line, not on the client: the choice goes by the rooms alone.
        Fixture->Watch(QStringLiteral("alice"), false);
        Fixture->Watch(QStringLiteral("Bob"), false);
        Fixture->AddEntry(QStringLiteral("alice"), {{"Lobby", "42", 5}});
        Fixture->AddEntry(QStringLiteral("Bob"), rooms ? TTestRooms{{"Bar", "7", 1}} : TTestRooms{});
        Form().SessionKey = keyHeld ? QStringLiteral("K3y") : QString();
        Form().LoggedIn = loggedIn;
        Settings.EasyMouseMode = easyMouseMode;
        QVERIFY(Fixture->ShowWindow());
        Fixture->List().Entries().DetailsAt(1)->HasMessages = messages; // the first show marked none stored
        QString opened;
        TModal::PresetDialog([&](QDialog& shown) {
            opened = Opened(shown);
            return int(QDialog::Rejected);
        });
        const QPoint at = Fixture->RowCentre(1) + QPoint(0, selected ? 0 : 3 * TOnlineListBox::ItemHeight);
        QTest::mouseDClick(Fixture->List().viewport(), Qt::LeftButton, {}, at);
        Form().NickPopupMenu->hide(); // the easy mouse mode's click opened it
        const QMap<TDoubleClickAction, QString> dialogs{{TDoubleClickAction::ReadMessages, "TInMsgForm Bob"},
                                                        {TDoubleClickAction::SendMessage, "TSendMsgForm Bob"},
                                                        {TDoubleClickAction::SendClientMessage, "TSendCliForm Bob"}};
        QCOMPARE(opened, dialogs.value(action));
    }

    void keyboardReachesTheDoubleClickAndTheMenu_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("opened"); // the dialog's class, or "menu"
        QTest::newRow("Enter on the first entry: to the chat user, also in the easy mouse mode")
            << QStringList{"Down", "Return"} << "alice"
            << "TSendMsgForm";
        QTest::newRow("Enter on the entry moved to: to the client user")
            << QStringList{"Down", "Down", "Enter"} << "Bob"
            << "TSendCliForm";
        QTest::newRow("menu key: the nick menu of the entry moved to") << QStringList{"Down", "Down", "Menu"} << "Bob"
                                                                       << "menu";
        QTest::newRow("Shift+F10: the same") << QStringList{"Down", "Shift+F10"} << "alice"
                                             << "menu";
        QTest::newRow("F10 alone opens nothing") << QStringList{"Down", "F10"} << "alice"
                                                 << "";
    }
    void keyboardReachesTheDoubleClickAndTheMenu() {
        QFETCH(QStringList, keys);
        QFETCH(QString, selected);
        QFETCH(QString, opened);
        SetUpAlice();
        Settings.EasyMouseMode = true; // its double click does nothing: the first click opened the menu
        Fixture->Watch(QStringLiteral("Bob"), false);
        Fixture->AddEntry(QStringLiteral("Bob"), {}, true);
        QString dialogClass;
        TModal::PresetDialog([&](QDialog& dialog) {
            dialogClass = QString::fromLatin1(dialog.metaObject()->className());
            return int(QDialog::Rejected);
        });
        for (const QString& key : keys) {
            const QKeyCombination combination = QKeySequence::fromString(key)[0];
            QTest::keyClick(&Fixture->List(), combination.key(), combination.keyboardModifiers());
        }
        QCOMPARE(Form().SelectedNick(), selected);
        QCOMPARE(Form().NickPopupMenu->isVisible() ? QStringLiteral("menu") : dialogClass, opened);
        if (opened == QLatin1String("menu")) {
            // Built for the entry: Bob is on the client only, alice in a room.
            const QString first = selected == QLatin1String("Bob") ? "Zpráva na &klienta #11" : "Lobby (5) #0";
            QCOMPARE(MenuLines(Form()).value(0), first);
            // Active, as in a menu opened from the keyboard: Down and Enter go from there.
            QCOMPARE(Form().NickPopupMenu->activeAction(), Form().NickPopupMenu->actions().value(0));
            Form().NickPopupMenu->hide();
        }
    }

    void trayClicksToggleTheWindow_data() {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::addColumn<bool>("toggles");
        QTest::newRow("left click") << QSystemTrayIcon::Trigger << true;
        QTest::newRow("double click") << QSystemTrayIcon::DoubleClick << true;
        QTest::newRow("right button: the tray's menu") << QSystemTrayIcon::Context << false;
        QTest::newRow("middle button") << QSystemTrayIcon::MiddleClick << false;
    }
    void trayClicksToggleTheWindow() {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        QFETCH(bool, toggles);
        QVERIFY(Fixture->ShowWindow());
        Form().TrayIconActivated(reason);
        QCOMPARE(Form().isVisible(), !toggles);
        Form().TrayIconActivated(reason);
        QVERIFY(Form().isVisible());
    }

    void deactivationWithoutATrayKeepsTheWindow_data() {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("stayOnTop");
        QTest::addColumn<bool>("ownDialog"); // the program's own dialog takes over, not another program's window
        QTest::addColumn<bool>("kept");
        QTest::newRow("a tray: out of the way") << true << false << false << false;
        QTest::newRow("a tray, but stay-on-top: kept") << true << true << false << true;
        QTest::newRow("a tray, the program's own dialog active: kept") << true << false << true << true;
        QTest::newRow("the tray gone: kept, nothing would bring it back") << false << false << false << true;
    }
    void deactivationWithoutATrayKeepsTheWindow() {
        QFETCH(bool, tray);
        QFETCH(bool, stayOnTop);
        QFETCH(bool, ownDialog);
        QFETCH(bool, kept);
        // The offscreen platform has no tray: the test stands one in, with the icon the program would show in it.
        TMainForm::SystemTrayAvailable = tray ? +[] { return true; } : +[] { return false; };
        Form().TrayIcon = new QSystemTrayIcon(Form().MiscImageList.value(0), Fixture->Form.get());
        Form().TrayIcon->show();
        Form().setWindowFlag(Qt::WindowStaysOnTopHint, stayOnTop);
        QVERIFY(Fixture->ShowWindow());
        QApplication::setActiveWindow(Fixture->Form.get());
        QCOMPARE(QApplication::activeWindow(), Fixture->Form.get());
        QDialog dialog(Fixture->Form.get());
        if (ownDialog) {
            dialog.show();
            QApplication::setActiveWindow(&dialog);
        } else {
            QApplication::setActiveWindow(nullptr); // another program's window took over
        }
        QCOMPARE(Form().isVisible(), kept);
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestListActions test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_listactions.moc"
