// The notification popup and the idle-kick warning: the order and count of the announced nicks, the run's end, the
// highlight's sweep, following the pointer, the warning's twenty steps, and the active window left alone.
#include "app/abouttokickform.h"
#include "app/notifyform.h"
#include "seamrecorder.h"
#include "store/settings.h"
#include "widgets/application.h"

#include <QCursor>
#include <QDialog>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

int Beeps() {
    return int(DesktopCalls().count(QStringLiteral("beep")));
}

QStringList Shown(const QSignalSpy& spy) {
    QStringList nicks;
    for (const QList<QVariant>& arguments : spy) {
        nicks << arguments.first().toString();
    }
    return nicks;
}

// Steps the run to its end as its timer would.
void RunToTheEnd(TNotifyForm& popup) {
    for (int step = 0; popup.Busy && step < 100; ++step) {
        popup.ShowNextNotice();
    }
}

} // namespace

class TestPopups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        Settings = TSettings{};
        Settings.NotifyWait = 1500;
        SeamRecord().DesktopCalls.clear();
        QCursor::setPos(300, 200);
    }

    void announcesTheQueueInOrder_data() {
        QTest::addColumn<QStringList>("queue");
        QTest::addColumn<bool>("newerUpdate");
        QTest::addColumn<QStringList>("newerQueue"); // after the first nick
        QTest::addColumn<QStringList>("nextRun");    // the queue of a later run, once this one has ended
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("three nicks, one beep each") << QStringList{"alice", "Bob", "cyril"} << false << QStringList{}
                                                    << QStringList{} << QStringList{"alice", "Bob", "cyril"};
        QTest::newRow("empty queue: nothing, not even a beep")
            << QStringList{} << false << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("a newer update emptied the queue: the run ends")
            << QStringList{"alice", "Bob", "cyril"} << true << QStringList{} << QStringList{} << QStringList{"alice"};
        QTest::newRow("a newer update's nicks after the index are shown")
            << QStringList{"alice", "cyril"} << true << QStringList{"alice", "Bob", "cyril", "dan"} << QStringList{}
            << QStringList{"alice", "Bob", "cyril", "dan"};
        QTest::newRow("a newer update's nick before the index is not")
            << QStringList{"Bob", "cyril"} << true << QStringList{"alice", "Bob", "cyril"} << QStringList{}
            << QStringList{"Bob", "Bob", "cyril"};
        QTest::newRow("a later run starts from its first nick")
            << QStringList{"alice", "Bob"} << false << QStringList{} << QStringList{"cyril"}
            << QStringList{"alice", "Bob", "cyril"};
    }
    void announcesTheQueueInOrder() {
        QFETCH(QStringList, queue);
        QFETCH(bool, newerUpdate);
        QFETCH(QStringList, newerQueue);
        QFETCH(QStringList, nextRun);
        QFETCH(QStringList, shown);
        TNotifyForm popup;
        QSignalSpy notices(&popup, &TNotifyForm::NoticeShown);
        QSignalSpy ends(&popup, &TNotifyForm::RunEnded);
        popup.NoticeQueue = queue;
        popup.Notify();
        if (newerUpdate) {
            popup.NoticeQueue = newerQueue;
        }
        RunToTheEnd(popup);
        if (!nextRun.isEmpty()) {
            popup.NoticeQueue = nextRun;
            popup.Notify();
            RunToTheEnd(popup);
        }
        QCOMPARE(Shown(notices), shown);
        QCOMPARE(Beeps(), int(shown.size()));
        QCOMPARE(ends.size(), (queue.isEmpty() ? 0 : 1) + (nextRun.isEmpty() ? 0 : 1));
        QVERIFY(!popup.Busy);
        QVERIFY(!popup.isVisible());
    }

    void notifyDuringARunChangesNothing() {
        TNotifyForm popup;
        QSignalSpy runs(&popup, &TNotifyForm::RunStarted);
        QSignalSpy notices(&popup, &TNotifyForm::NoticeShown);
        popup.NoticeQueue = {QStringLiteral("alice"), QStringLiteral("Bob")};
        popup.Notify();
        popup.Notify(); // neither restarted nor extended
        QCOMPARE(runs.size(), 1);
        QCOMPARE(popup.NoticeIndex, 1);
        RunToTheEnd(popup);
        QCOMPARE(Shown(notices), (QStringList{"alice", "Bob"}));
    }

    void runTakesNotifyWaitPerNick() {
        Settings.NotifyWait = 300;
        TNotifyForm popup;
        QSignalSpy notices(&popup, &TNotifyForm::NoticeShown);
        QSignalSpy ends(&popup, &TNotifyForm::RunEnded);
        popup.NoticeQueue = {QStringLiteral("alice"), QStringLiteral("Bob"), QStringLiteral("cyril")};
        popup.Notify();
        QCOMPARE(popup.NoticeTimer->interval(), 300);
        QVERIFY(ends.wait(20000));
        QCOMPARE(Shown(notices), (QStringList{"alice", "Bob", "cyril"}));
        QVERIFY(!popup.isVisible());
        QVERIFY(!popup.NoticeTimer->isActive());
    }

    void popupFitsTheNickAndFollowsThePointer() {
        TNotifyForm popup;
        popup.NoticeQueue = {QStringLiteral("al"), QStringLiteral("a much longer nick")};
        popup.Notify();
        QCOMPARE(popup.pos(), QPoint(320, 195));
        QCOMPARE(popup.size(), QSize(popup.NotifyLabel->width() + 8, 14));
        const int shortWidth = popup.width();
        popup.ShowNextNotice();
        QCOMPARE(popup.width(), popup.NotifyLabel->width() + 8);
        QVERIFY(popup.width() > shortWidth);
        QCursor::setPos(500, 100);
        popup.EffectTimerTimer();
        QCOMPARE(popup.pos(), QPoint(520, 95));
    }

    void highlightSweepsOverTheNickAndBack() {
        TNotifyForm popup;
        popup.NoticeQueue = {QStringLiteral("alice")};
        popup.Notify();
        QVERIFY(popup.EffectTimer->isActive());
        QVERIFY(popup.EffectShape->isHidden());
        QList<int> lefts;
        for (int step = 0; step < 500 && !lefts.contains(-31); ++step) {
            popup.EffectTimerTimer();
            lefts << popup.EffectShape->x();
        }
        popup.EffectTimerTimer();
        lefts << popup.EffectShape->x(); // turned again at the left
        const int turnRight = popup.NotifyLabel->x() + popup.NotifyLabel->width() + 6;
        const int furthest = *std::max_element(lefts.cbegin(), lefts.cend());
        QCOMPARE(lefts.first(), -25); // enters from just outside the left border
        QCOMPARE(lefts.at(1), -19);
        QVERIFY(furthest > turnRight && furthest - 6 <= turnRight);
        QCOMPARE(*std::min_element(lefts.cbegin(), lefts.cend()), -31); // out past the left border
        QCOMPARE(lefts.last(), -25);
        popup.hide();
        QVERIFY(popup.EffectShape->isHidden());
        QVERIFY(!popup.EffectTimer->isActive());
    }

    void warningEndsAfterTwentyStepsEvenWhenCalledAgain() {
        QCursor::setPos(300, 300);
        TAboutToKickForm warning;
        warning.Warn();
        QVERIFY(warning.isVisible());
        QCOMPARE(warning.pos(), QPoint(250, 265));
        QCOMPARE(warning.size(), QSize(239, 28));
        for (int step = 1; step < 20; ++step) {
            if (step % 5 == 0) {
                warning.Warn(); // the next list update, while the user is still idle
            }
            warning.WarnStep();
        }
        QVERIFY(warning.isVisible());
        QCOMPARE(Beeps(), 20);
        warning.WarnStep();
        QVERIFY(!warning.isVisible());
        QVERIFY(!warning.Busy);
        QVERIFY(!warning.WarnTimer->isActive());
        QCOMPARE(Beeps(), 20);
        warning.Warn(); // over: a later update warns anew
        QVERIFY(warning.isVisible());
        QCOMPARE(Beeps(), 21);
    }

    void warningRunsOnItsOwnTimer() {
        TAboutToKickForm warning;
        warning.Warn();
        QVERIFY(warning.WarnTimer->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!warning.Busy, 30000);
        QCOMPARE(Beeps(), 20);
        QVERIFY(!warning.isVisible());
    }

    void neitherTakesTheProgramsActiveWindow_data() {
        QTest::addColumn<bool>("ownWindowActive");
        QTest::newRow("the program's dialog is active: left in front") << true;
        QTest::newRow("another program's window is active: both come to the front") << false;
    }
    void neitherTakesTheProgramsActiveWindow() {
        QFETCH(bool, ownWindowActive);
        QDialog dialog;
        if (ownWindowActive) {
            dialog.show();
            QApplication::setActiveWindow(&dialog);
        }
        TNotifyForm popup;
        popup.NoticeQueue = {QStringLiteral("alice")};
        popup.Notify();
        TAboutToKickForm warning;
        warning.Warn();
        // The offscreen platform tells of every raise: no step may raise a window over the program's own active
        // one, and each raises them over another program's.
        const char* const raised = "This plugin does not support raise()";
        if (ownWindowActive) {
            QTest::failOnWarning(raised);
        } else {
            QTest::ignoreMessage(QtWarningMsg, raised);
            QTest::ignoreMessage(QtWarningMsg, raised);
        }
        popup.EffectTimerTimer();
        warning.WarnStep();
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), ownWindowActive ? &dialog : nullptr);
        QVERIFY(popup.isVisible() && warning.isVisible());
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    RecordSeams();
    TestPopups test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_popups.moc"
