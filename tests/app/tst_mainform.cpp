#include "app/goodbyeform.h"
#include "app/mainform.h"
#include "app/onlinelistbox.h"
#include "app/program.h"
#include "app/signalwatcher.h"
#include "settings/settingsform.h"
#include "settings/userchecklistbox.h"
#include "store/clocktimer.h"
#include "store/settings.h"
#include "store/sysreg.h"
#include "store/testing.h"
#include "widgets/anchors.h"
#include "widgets/application.h"
#include "widgets/desktop.h"
#include "widgets/gauge.h"
#include "widgets/modal.h"
#include "widgets/queuedboxes.h"
#include "widgets/speedbutton.h"

#include "teststore.h"

#include <QAction>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <memory>
#include <optional>

namespace {

using TGeometryValues = QList<std::optional<qint32>>; // WindowLeft, WindowTop, WindowWidth, WindowHeight

const QStringList GeometryNames{u"WindowLeft"_qs, u"WindowTop"_qs, u"WindowWidth"_qs, u"WindowHeight"_qs};

void StoreGeometry(const TGeometryValues& values) {
    TSysReg& store = SysReg();
    store.CloseKey();
    store.OpenKey(ProductKey, true);
    for (int index = 0; index < GeometryNames.size(); ++index) {
        if (values.value(index)) {
            store.WriteInteger(GeometryNames[index], *values[index]);
        }
    }
    store.CloseKey();
}

QRect Centred(QSize size) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return QRect(QPoint(screen.left() + (screen.width() - size.width()) / 2,
                        screen.top() + (screen.height() - size.height()) / 2),
                 size);
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestStore> TestStore;

private Q_SLOTS:
    void init() {
        TestStore = std::make_unique<TTestStore>();
        QVERIFY(TestStore->IsValid());
    }
    void cleanup() { TestStore.reset(); }

    void geometryIsRestored_data() {
        QTest::addColumn<TGeometryValues>("stored");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<bool>("fully");
        const QSize design = TMainForm::DesignClientSize;
        QTest::newRow("all four values") << TGeometryValues{100, 50, 300, 400} << QRect(100, 50, 300, 400) << true;
        QTest::newRow("nothing stored") << TGeometryValues{} << Centred(design) << false;
        QTest::newRow("size missing: centred at the design size")
            << TGeometryValues{100, 50} << Centred(design) << false;
        QTest::newRow("height missing: the width stays, centred")
            << TGeometryValues{100, 50, 300} << Centred({300, design.height()}) << false;
        QTest::newRow("left missing: nothing after it is read")
            << TGeometryValues{std::nullopt, 50, 300, 400} << Centred(design) << false;
        QTest::newRow("smaller than the minimum") << TGeometryValues{10, 20, 50, 60} << QRect(10, 20, 134, 180) << true;
        QTest::newRow("outside every screen: centred")
            << TGeometryValues{50000, 50000, 200, 300} << Centred({200, 300}) << true;
        QTest::newRow("larger than the desktop: cut to it")
            << TGeometryValues{0, 0, 1000000, 1000000} << QGuiApplication::primaryScreen()->virtualGeometry() << true;
    }
    void geometryIsRestored() {
        QFETCH(TGeometryValues, stored);
        QFETCH(QRect, expected);
        QFETCH(bool, fully);
        StoreGeometry(stored);
        TMainForm form;
        QCOMPARE(form.StoredGeometry(), expected);
        QCOMPARE(form.GeometryRestored(), fully);
    }

    void geometryStoredAsTextEndsTheRestore() {
        TSysReg& store = SysReg();
        store.OpenKey(ProductKey, true);
        store.WriteInteger(u"WindowLeft"_qs, 10);
        store.WriteString(u"WindowTop"_qs, u"20"_qs);
        store.WriteInteger(u"WindowWidth"_qs, 300);
        store.WriteInteger(u"WindowHeight"_qs, 300);
        store.CloseKey();
        TMainForm form;
        QVERIFY(!form.GeometryRestored());
        QCOMPARE(form.StoredGeometry(), Centred(TMainForm::DesignClientSize));
    }

    void geometryIsStoredOnDestroy() {
        StoreGeometry({30, 40, 250, 350});
        {
            TMainForm form;
            form.move(70, 80);
            form.resize(222, 333);
            form.FormDestroy();
        }
        TMainForm reopened;
        QCOMPARE(reopened.StoredGeometry(), QRect(70, 80, 222, 333));
        TSysReg& store = SysReg();
        store.OpenKey(ProductKey, false);
        QCOMPARE(store.GetValueNames(), GeometryNames);
        store.CloseKey();
    }

    void controlsFollowTheirAnchors_data() {
        QTest::addColumn<QRect>("design");
        QTest::addColumn<int>("anchors");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QRect>("placed");
        const int all = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
        QTest::newRow("list stretches both ways")
            << QRect(4, 44, 179, 293) << all << QSize(288, 487) << QRect(4, 44, 279, 393);
        QTest::newRow("logo keeps to the top right")
            << QRect(64, 4, 120, 39) << int(Qt::TopEdge | Qt::RightEdge) << QSize(288, 287) << QRect(164, 4, 120, 39);
        QTest::newRow("connect button keeps to the bottom left")
            << QRect(5, 347, 37, 22) << int(Qt::LeftEdge | Qt::BottomEdge) << QSize(288, 287) << QRect(5, 247, 37, 22);
        QTest::newRow("stripes never get a negative width")
            << QRect(8, 8, 58, 25) << int(Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge) << QSize(100, 387)
            << QRect(8, 8, 0, 25);
    }
    void controlsFollowTheirAnchors() {
        QFETCH(QRect, design);
        QFETCH(int, anchors);
        QFETCH(QSize, client);
        QFETCH(QRect, placed);
        QCOMPARE(AnchoredRect(design, Qt::Edges(anchors), TMainForm::DesignClientSize, client), placed);
    }

    void listColumnsFollowTheWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        // Outer widths: the window's frame counts.
        QTest::newRow("design width") << 188 << 1;
        QTest::newRow("just below twice the minimum") << 267 << 1;
        QTest::newRow("twice the minimum") << 268 << 2;
        QTest::newRow("three times the minimum") << 402 << 3;
    }
    void listColumnsFollowTheWidth() {
        QFETCH(int, width);
        QFETCH(int, columns);
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.resize(width - (form.frameGeometry().width() - form.width()), 400);
        QCOMPARE(form.OnlineListBox->Columns(), columns);
        QCOMPARE(form.OnlineListBox->gridSize().width(), form.OnlineListBox->viewport()->width() / columns);
    }

    void initialStateAndLook() {
        TMainForm form;
        QCOMPARE(form.windowTitle(), u"chat"_qs);
        QCOMPARE(form.size(), TMainForm::DesignClientSize);
        QVERIFY(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(form.FirstShow);
        QCOMPARE(form.NotifyCounter, 1);
        QCOMPARE(form.LastMsgId, u"0"_qs);
        // Off-line and idle, nothing is due and nothing blinks: no timer runs.
        for (const TClockTimer* timer : {form.ControlTimer, form.RefreshTimer, form.WatchdogTimer, form.ArrivalTimer}) {
            QVERIFY(!timer->IsActive());
        }
        QCOMPARE(form.ProgressGauge->MaxValue(), 15);
        QVERIFY(form.EndSession);
        QCOMPARE(form.EndSession->text(), u"&Konec"_qs);
        QCOMPARE(form.MenuImageList.size(), 16);
        QCOMPARE(form.MiscImageList.size(), 3);
    }

    void firstShowAddsOfflineEntriesForWatchedUsers() {
        TMainForm form;
        TSettingsForm settings(&form);
        form.SetSettingsForm(&settings);
        settings.UserCheckListBox->ReplaceNicks({u"adam"_qs, u"Bara"_qs});
        form.OnlineListBox->Entries().AddOffline(u"BARA"_qs);
        form.show();
        QVERIFY(!form.FirstShow);
        const TOnlineList& entries = form.OnlineListBox->Entries();
        QCOMPARE(entries.Count(), 2);
        QCOMPARE(entries.NickAt(1), u"adam"_qs);
        QVERIFY(!entries.DetailsAt(1)->Rooms && !entries.DetailsAt(1)->IsClient && !entries.DetailsAt(1)->HasMessages);
        // No "inmsg.wav" in the test's data folder nor an audio output: the message sound falls back to the beep.
        QVERIFY(form.SoundUnavailable);

        form.hide();
        settings.UserCheckListBox->AddNick(u"cyril"_qs);
        form.show();
        QCOMPARE(entries.Count(), 2);
    }

    void savedLoginNameChangeClearsTheSessionKey_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("same name keeps the key") << u"Pepík"_qs << false;
        QTest::newRow("new name clears it") << u"Jarka"_qs << true;
        QTest::newRow("letter case counts") << u"PEPÍK"_qs << true;
    }
    void savedLoginNameChangeClearsTheSessionKey() {
        QFETCH(QString, typed);
        QFETCH(bool, cleared);
        TSysReg& store = SysReg();
        store.OpenKey(ProductKey, true);
        store.WriteString(u"LoginName"_qs, u"Pepík"_qs);
        store.CloseKey();
        TMainForm form;
        TSettingsForm settings(&form);
        form.SetSettingsForm(&settings);
        form.SessionKey = u"k3y"_qs;
        settings.LoginNameEdit->setText(typed);
        settings.SaveSettings();
        QCOMPARE(form.SessionKey.isEmpty(), cleared);
    }

    void closingShowsTheFarewellAndEndsTheLoop() {
        TMainForm form;
        TGoodbyeForm goodbye;
        form.SetGoodbyeForm(&goodbye);
        form.show();
        form.Connecting = true;
        form.LoggedIn = true;
        form.ProgressGauge->SetProgress(7);
        QSignalSpy closed(&form, &TMainForm::FormClosed);
        form.EndSession->trigger();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form.isVisible());
        QVERIFY(!form.isEnabled());
        QVERIFY(goodbye.isVisible());
        QVERIFY(!form.Connecting && !form.LoggedIn);
        QCOMPARE(form.ProgressGauge->Progress(), 0);
        QVERIFY(form.ConnectSpeedButton->isEnabledTo(&form));
    }

    void minimizingEndsTheProgramWithoutTheCloseQuery() {
        TMainForm form;
        form.show();
        QSignalSpy minimized(&form, &TMainForm::AppMinimized);
        QSignalSpy closed(&form, &TMainForm::FormClosed);
        form.setWindowState(Qt::WindowMinimized);
        QCOMPARE(minimized.count(), 1);
        QCOMPARE(closed.count(), 0);
    }

    void endOfRunAsksNoOtherWindow_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("closeQuery");
        QTest::newRow("termination signal") << u"signal"_qs << true;
        QTest::newRow("Konec in the tray") << u"tray"_qs << true;
        QTest::newRow("minimized") << u"minimize"_qs << false;
    }
    void endOfRunAsksNoOtherWindow() {
        QFETCH(QString, how);
        QFETCH(bool, closeQuery);
        TMainForm form;
        TSettingsForm settings(&form);
        form.SetSettingsForm(&settings);
        TGoodbyeForm goodbye;
        form.SetGoodbyeForm(&goodbye);
        TSignalWatcher signalWatcher;
        TieRunToMainForm(form, signalWatcher);
        form.show();

        // What the end left behind, seen the moment the program asked for it.
        struct {
            bool Seen = false;
            bool LoopEnding = false;
            bool GoodbyeShown = false;
            bool CloseQueryRan = false;
            QStringList Captions;
        } atEnd;
        const auto record = [&] {
            if (atEnd.Seen) {
                return;
            }
            atEnd.Seen = true;
            // Once the application is exiting, no new event loop runs.
            QEventLoop probe;
            QTimer::singleShot(0, &probe, [&probe] { probe.exit(1); });
            atEnd.LoopEnding = probe.exec() != 1;
            atEnd.GoodbyeShown = goodbye.isVisible();
            atEnd.CloseQueryRan = form.HTTPClient == nullptr;
            for (const TModal::TShownBox& box : ShownBoxes()) {
                atEnd.Captions << box.Caption;
            }
            QCoreApplication::exit(0); // ends this test's loop whatever happened
        };
        connect(&form, &TMainForm::FormClosed, &form, record);
        connect(&form, &TMainForm::AppMinimized, &form, record);

        // The settings dialog is open with a comment edit the user would not give up ("Zrušit" at the question).
        TModal::PresetAnswer(QMessageBox::Cancel);
        TModal::PresetDialog([&](QDialog& dialog) {
            dialog.show();
            settings.CommentChanged = true;
            QTimer::singleShot(0, &form, [&] {
                if (how == u"signal"_qs) {
                    ::raise(SIGTERM);
                } else if (how == u"tray"_qs) {
                    form.EndSession->trigger();
                } else {
                    form.setWindowState(Qt::WindowMinimized);
                }
            });
            QEventLoop dialogLoop;
            dialogLoop.exec();
            dialog.hide();
            return int(QDialog::Rejected);
        });
        QTimer::singleShot(0, &form, [&form] { form.SettingsSpeedButton->click(); });
        QCoreApplication::exec();

        QVERIFY(atEnd.Seen);
        QVERIFY(atEnd.LoopEnding);
        QCOMPARE(atEnd.Captions, QStringList()); // no window was asked to close, so nobody asked the user
        QCOMPARE(atEnd.GoodbyeShown, closeQuery);
        QCOMPARE(atEnd.CloseQueryRan, closeQuery);
    }

    // The watcher is in place before the single-instance lock is taken, while the windows do not yet exist: a
    // signal that comes then closes the window the normal way once it is there, as one that comes later does.
    void terminationSignalClosesTheWindowWhenever_data() {
        QTest::addColumn<bool>("beforeTheWindow");
        QTest::newRow("before the window was tied to the run") << true;
        QTest::newRow("after") << false;
    }
    void terminationSignalClosesTheWindowWhenever() {
        QFETCH(bool, beforeTheWindow);
        TSignalWatcher signalWatcher;
        QVERIFY(signalWatcher.IsWatching());
        if (beforeTheWindow) {
            ::raise(SIGTERM);
            QTRY_VERIFY(signalWatcher.TerminationSeen()); // read with nothing connected yet
        }
        TMainForm form;
        TGoodbyeForm goodbye;
        form.SetGoodbyeForm(&goodbye);
        form.show();
        QSignalSpy closed(&form, &TMainForm::FormClosed);
        TieRunToMainForm(form, signalWatcher);
        if (!beforeTheWindow) {
            ::raise(SIGTERM);
        }
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!form.isVisible());
    }

    void homePageOpensInTheBrowser() {
        TMainForm form;
        form.GoChatSpeedButton->click();
        QCOMPARE(DesktopCalls(), QStringList{u"open http://" CVRLIK_HOMEPAGE_HOST "/velmor/cvrlik"_qs});
    }

    void unreadableStoreIsReportedOnce() {
        QFile garbage(TestStore->Registry.DatabasePath());
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        TMainForm form; // the first store access finds the file unreadable
        TellAboutSetAsideStore(&form);
        QCOMPARE(ShownBoxes().size(), 1);
        QCOMPARE(ShownBoxes().first().Icon, QMessageBox::Critical);
        const QString text = ShownBoxes().first().Text;
        QVERIFY2(text.contains(TestStore->Registry.Folder()), qPrintable(text));
        QVERIFY(!text.contains(u"%1"_qs));
        TellAboutSetAsideStore(&form);
        QCOMPARE(ShownBoxes().size(), 1);
        // The store goes on afresh: the window geometry could be written.
        form.FormDestroy();
    }

    void readableStoreIsNotReported() {
        TMainForm form;
        TellAboutSetAsideStore(&form);
        QVERIFY(ShownBoxes().isEmpty());
    }

    // Another process keeps the store from being read through the whole start. The user is told (from the event
    // loop), and nothing saved afterwards replaces the geometry, the settings or the list the store holds with what
    // the start assumed.
    void storeHeldAtStartIsToldAndNotOverwritten_data() {
        QTest::addColumn<bool>("held");
        QTest::newRow("held by another process: told, nothing overwritten") << true;
        QTest::newRow("free: nothing told, saves go through") << false;
    }
    void storeHeldAtStartIsToldAndNotOverwritten() {
        QFETCH(bool, held);
        {
            // Written by a run before: this run's store has not opened the file yet.
            TSysReg before(TestStore->Registry.Folder());
            QVERIFY(before.OpenKey(ProductKey, true));
            for (const auto& [name, value] : {std::pair{u"WindowLeft"_qs, 30}, std::pair{u"WindowTop"_qs, 40},
                                              std::pair{u"WindowWidth"_qs, 250}, std::pair{u"WindowHeight"_qs, 350}}) {
                before.WriteInteger(name, value);
            }
            before.WriteString(u"LoginName"_qs, u"alice"_qs);
            QVERIFY(before.OpenKey(NickListKey, true));
            before.WriteBool(u"bob"_qs, true);
            before.CloseKey();
        }
        auto holder = held ? std::make_unique<TExclusiveHolder>(TestStore->Registry.DatabasePath()) : nullptr;
        QVERIFY(!held || holder->IsHeld());
        TMainForm form;
        TSettingsForm settings(&form);
        form.SetSettingsForm(&settings);
        TellAboutUnreadSettings(form, settings);
        QVERIFY(ShownBoxes().isEmpty()); // never inside the caller
        holder.reset();                  // the other process ends before anything is saved
        TSysReg& store = SysReg();

        form.move(70, 80);
        settings.LoginNameEdit->setText(u"carol"_qs);
        if (held) {
            QVERIFY_THROWS_EXCEPTION(ESysRegError, settings.SaveSettings());
        } else {
            settings.SaveSettings();
        }
        form.FormDestroy();
        QTRY_VERIFY(form.ErrorBoxes->Idle());
        QCOMPARE(ShownBoxes().size(), held ? 1 : 0);
        if (held) {
            QCOMPARE(ShownBoxes().first().Icon, QMessageBox::Warning);
            const QString text = ShownBoxes().first().Text;
            QVERIFY2(text.contains(u"nepodařilo přečíst"_qs) && text.contains(u"zamčený"_qs), qPrintable(text));
        }

        QVERIFY(store.OpenKey(ProductKey, false));
        QCOMPARE(store.ReadString(u"LoginName"_qs), held ? u"alice"_qs : u"carol"_qs);
        QCOMPARE(store.ReadInteger(u"WindowLeft"_qs), held ? 30 : form.StoredGeometry().left());
        store.CloseKey();
        QVERIFY(store.OpenKey(NickListKey, false));
        QCOMPARE(store.GetValueNames(), QStringList{u"bob"_qs});
        store.CloseKey();
    }

    void waylandSessionsRunNatively_data() {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QByteArray>("platform");
        QTest::newRow("Wayland with XWayland")
            << QStringList{u"WAYLAND_DISPLAY=wayland-0"_qs, u"DISPLAY=:0"_qs} << QByteArray("wayland;xcb");
        QTest::newRow("session type only")
            << QStringList{u"XDG_SESSION_TYPE=wayland"_qs, u"DISPLAY=:1"_qs} << QByteArray("wayland;xcb");
        QTest::newRow("Wayland without XWayland")
            << QStringList{u"WAYLAND_DISPLAY=wayland-0"_qs} << QByteArray("wayland;xcb");
        QTest::newRow("plain X11") << QStringList{u"DISPLAY=:0"_qs, u"XDG_SESSION_TYPE=x11"_qs} << QByteArray();
        QTest::newRow("the user's choice stays")
            << QStringList{u"WAYLAND_DISPLAY=wayland-0"_qs, u"DISPLAY=:0"_qs, u"QT_QPA_PLATFORM=wayland"_qs}
            << QByteArray();
    }
    void waylandSessionsRunNatively() {
        QFETCH(QStringList, variables);
        QFETCH(QByteArray, platform);
        QProcessEnvironment environment;
        for (const QString& variable : variables) {
            environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
        }
        QCOMPARE(PlatformForSession(environment), platform);
    }

    void settingsButtonOpensTheDialogAndResumedNotificationsAnnounceAtOnce() {
        TMainForm form;
        TSettingsForm settings(&form);
        form.SetSettingsForm(&settings);
        Settings.SuspendNotifications = true;
        Settings.NotifyDivisor = 4;
        TModal::PresetDialog([](QDialog& dialog) {
            Settings.SuspendNotifications = false;
            return int(dialog.Accepted);
        });
        form.SettingsSpeedButton->click();
        QCOMPARE(form.NotifyCounter, 4);
    }

    void aTestRunSqueezesEveryClock_data() {
        QTest::addColumn<int>("divisor");
        QTest::addColumn<QList<int>>("intervals"); // the lights' blinking, idle timeout, request deadline
        QTest::newRow("a normal run") << 0 << QList<int>{200, 60000, 300000};
        QTest::newRow("twenty times faster") << 20 << QList<int>{10, 3000, 15000};
    }
    void aTestRunSqueezesEveryClock() {
        QFETCH(int, divisor);
        QFETCH(QList<int>, intervals);
        SetTesting(divisor > 0 ? TTesting{true, divisor} : TTesting{});
        TMainForm form;
        form.Connecting = true; // the lights blink
        SetTesting({});
        QCOMPARE(form.ControlTimer->WallWait(), intervals.at(0));
        for (const THttpClient* client : {form.HTTPClient, form.InMsgHTTPClient}) {
            QCOMPARE(client->IdleTimeoutMs, intervals.at(1));
            QCOMPARE(client->RequestDeadlineMs, intervals.at(2));
        }
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestMainForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainform.moc"
