#include "seamrecorder.h"
#include "store/testing.h"
#include "widgets/modal.h"
#include "widgets/queuedboxes.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A dialog that will not close, as one that would ask the user first.
class TRefusingDialog : public QDialog {
public:
    void done(int) override {}
};

} // namespace

class TestModal : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        TModal::Clear();
        ClearSeamRecord();
        RecordSeams();
    }

    void testModeAnswers_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<int>("preset");
        QTest::addColumn<int>("answer");
        const int yesNoCancel = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        QTest::newRow("preset answer wins")
            << yesNoCancel << int(QMessageBox::No) << int(QMessageBox::Yes) << int(QMessageBox::Yes);
        QTest::newRow("default button without a preset")
            << yesNoCancel << int(QMessageBox::No) << int(QMessageBox::NoButton) << int(QMessageBox::No);
        QTest::newRow("no default: as if closed, Cancel")
            << yesNoCancel << int(QMessageBox::NoButton) << int(QMessageBox::NoButton) << int(QMessageBox::Cancel);
        QTest::newRow("no default and no Cancel: No")
            << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::NoButton) << int(QMessageBox::NoButton)
            << int(QMessageBox::No);
        QTest::newRow("a plain report: OK")
            << int(QMessageBox::Ok) << int(QMessageBox::NoButton) << int(QMessageBox::NoButton) << int(QMessageBox::Ok);
    }
    void testModeAnswers() {
        QFETCH(int, buttons);
        QFETCH(int, defaultButton);
        QFETCH(int, preset);
        QFETCH(int, answer);
        if (preset != QMessageBox::NoButton) {
            TModal::PresetAnswer(QMessageBox::StandardButton(preset));
        }
        const auto chosen =
            TModal::MessageBox(nullptr, u"Byla provedena změna"_qs, u"Chcete uložit?"_qs, QMessageBox::Question,
                               QMessageBox::StandardButtons(buttons), QMessageBox::StandardButton(defaultButton));
        QCOMPARE(int(chosen), answer);
        QCOMPARE(ShownBoxes().size(), 1);
        QCOMPARE(ShownBoxes().first().Caption, u"Byla provedena změna"_qs);
        QCOMPARE(ShownBoxes().first().Text, u"Chcete uložit?"_qs);
        QCOMPARE(ShownBoxes().first().Icon, QMessageBox::Question);
    }

    void dialogsGetTheirPresetAnswerOrAreRejected() {
        QDialog dialog;
        TModal::PresetDialog([](QDialog& shown) {
            shown.setWindowTitle(u"seen"_qs);
            return int(QDialog::Accepted);
        });
        QCOMPARE(TModal::ExecDialog(dialog), int(QDialog::Accepted));
        QCOMPARE(dialog.windowTitle(), u"seen"_qs);
        QCOMPARE(TModal::ExecDialog(dialog), int(QDialog::Rejected));
    }

    // Queued reports open from the event loop, one after another, each text once while it waits.
    void queuedBoxesOpenLaterAndOnce_data() {
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("one report") << QStringList{"Chyba: 10061"} << false << QStringList{"Chyba: 10061"};
        QTest::newRow("the same report twice: one box")
            << QStringList{"Chyba: 10061", "Chyba: 10061"} << false << QStringList{"Chyba: 10061"};
        QTest::newRow("two reports: in order") << QStringList{"Chyba: 10061", "Chyba: 10060", "Chyba: 10061"} << false
                                               << QStringList{"Chyba: 10061", "Chyba: 10060"};
        QTest::newRow("stopped before the loop ran: none") << QStringList{"Chyba: 10061"} << true << QStringList{};
    }
    void queuedBoxesOpenLaterAndOnce() {
        QFETCH(QStringList, reports);
        QFETCH(bool, stopped);
        QFETCH(QStringList, shown);
        QWidget owner;
        TQueuedBoxes boxes(&owner);
        for (const QString& text : reports) {
            boxes.Queue(u"Chyba připojování"_qs, text, QMessageBox::Critical);
        }
        if (stopped) {
            boxes.Stop();
            boxes.Queue(u"Chyba připojování"_qs, u"později"_qs, QMessageBox::Critical);
        }
        QVERIFY(ShownBoxes().isEmpty());
        QTRY_VERIFY(boxes.Idle());
        QStringList texts;
        for (const TModal::TShownBox& box : ShownBoxes()) {
            texts << box.Text;
        }
        QCOMPARE(texts, shown);
    }

    void realBoxesSpeakCzech() {
        TModal::SetTestMode(false);
        QStringList texts;
        QTimer::singleShot(0, this, [&texts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            for (QAbstractButton* button : box->buttons()) {
                texts.append(button->text());
            }
            box->button(QMessageBox::No)->click();
        });
        const auto chosen = TModal::MessageBox(nullptr, u"Otázka"_qs, u"Ano, nebo ne?"_qs, QMessageBox::Question,
                                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        TModal::SetTestMode(true);
        QCOMPARE(chosen, QMessageBox::No);
        texts.sort();
        QCOMPARE(texts, (QStringList{u"Ano"_qs, u"Ne"_qs, u"Zrušit"_qs}));
    }

    // A quit closes every open modal window, innermost first and also one that would not close, so that each exec()
    // returns; nothing opens any more, and what was to follow runs once the last exec() has returned.
    void quitClosesEveryOpenWindow() {
        TModal::SetTestMode(false);
        TRefusingDialog dialog;
        QObject context;
        QStringList events;
        // Should a window stay open after all, the test fails instead of waiting for ever.
        QTimer rescue;
        connect(&rescue, &QTimer::timeout, this, [&events] {
            if (auto* stray = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                events << u"stray window"_qs;
                stray->QDialog::done(QDialog::Rejected);
            }
        });
        rescue.start(10000);
        QTimer::singleShot(0, this, [&] {
            QTimer::singleShot(0, this, [&] {
                events << QString::number(TModal::Depth());
                TModal::Quit(&context, [&events] { events << u"unwound"_qs; });
            });
            const auto answer = TModal::MessageBox(&dialog, u"Otázka"_qs, u"Ano, nebo ne?"_qs, QMessageBox::Question,
                                                   QMessageBox::Yes | QMessageBox::No);
            events << (answer == QMessageBox::No ? u"box: No"_qs : u"box: other"_qs);
            TModal::MessageBox(&dialog, u"Později"_qs, u"Nic"_qs, QMessageBox::Critical);
            events << u"later box returned"_qs;
        });
        const int result = TModal::ExecDialog(dialog);
        events << (result == QDialog::Rejected ? u"dialog: rejected"_qs : u"dialog: other"_qs);
        QTRY_VERIFY(events.contains(u"unwound"_qs));
        TModal::SetTestMode(true);
        QCOMPARE(events, (QStringList{u"2"_qs, u"box: No"_qs, u"later box returned"_qs, u"dialog: rejected"_qs,
                                      u"unwound"_qs}));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(TModal::ExecDialog(dialog), int(QDialog::Rejected));
        QCOMPARE(ShownBoxes().size(), 1); // the box asked for after the quit never showed
    }

    void aTestRunRecordsWhatOpensAndCloses_data() {
        QTest::addColumn<bool>("dialog");
        QTest::addColumn<QStringList>("details");
        QTest::newRow("an error box") << false
                                      << QStringList{u"error"_qs, u"Chyba připojování"_qs, u"Server neodpověděl."_qs};
        QTest::newRow("a dialog") << true << QStringList{u"QDialog"_qs, u"Nastavení"_qs};
    }
    void aTestRunRecordsWhatOpensAndCloses() {
        QFETCH(bool, dialog);
        QFETCH(QStringList, details);
        QFile::remove(TestingRecordPath());
        SetTesting({true, 1});
        TModal::SetTestMode(false);
        // Closed from outside, as no user is there: a run offscreen has none.
        QTimer::singleShot(0, this, [] { QApplication::activeModalWidget()->close(); });
        if (dialog) {
            QDialog window;
            window.setWindowTitle(u"Nastavení"_qs);
            TModal::ExecDialog(window);
        } else {
            TModal::MessageBox(nullptr, u"Chyba připojování"_qs, u"Server neodpověděl."_qs, QMessageBox::Critical);
        }
        TModal::SetTestMode(true);
        SetTesting({});

        QFile record(TestingRecordPath());
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(record.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QString kind = dialog ? u"dialog"_qs : u"box"_qs;
        QCOMPARE(lines.at(0).split(u'\t').mid(2), QStringList{kind + u"-open"_qs} + details);
        QCOMPARE(lines.at(1).split(u'\t').mid(2), QStringList{kind + u"-closed"_qs} + details);
    }
};

QTEST_MAIN(TestModal)
#include "tst_modal.moc"
