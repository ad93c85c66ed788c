#include "messaging/sendmsgform.h"

#include "messaging/broadcastrules.h"
#include "messaging/messagememo.h"
#include "messaging/messagingsession.h"
#include "store/settings.h"
#include "widgets/application.h"
#include "widgets/gauge.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

TSendMsgForm::TSendMsgForm(TMessagingSession& session, QWidget* parent)
    : TSendFormBase(session, QStringLiteral("Pošli zprávu do místnosti na Klabos"), ChatMessageAction(),
                    QFont(QStringLiteral("Tahoma"), 8), parent) {
    CreateBroadcastControls();
    SetClientSize(DesignClientSize);
}

void TSendMsgForm::CreateBroadcastControls() {
    const int top = DesignClientSize.height();
    SendToAllCheckBox = new QCheckBox(QStringLiteral("Poslat všem"), this);
    Place(SendToAllCheckBox, {8, top + 8, 97, 17});
    NewOnlyCheckBox = new QCheckBox(QStringLiteral("Jen novým"), this);
    NewOnlyCheckBox->setChecked(true);
    Place(NewOnlyCheckBox, {120, top + 8, 97, 17});
    SendHistoryListBox = new QListWidget(this);
    Place(SendHistoryListBox, {8, top + 32, 394, 132});
    Gauge = new TGauge(Qt::white, QColor(0, 0, 128), this);
    Place(Gauge, {8, top + 172, 394, 16});
    connect(SendToAllCheckBox, &QCheckBox::toggled, this, &TSendMsgForm::SendToAllCheckBoxClick);

    NewOnlyCheckBox->setEnabled(false);
    SendHistoryListBox->setEnabled(false);
    // Below the window's edge until F11; hidden, so the keyboard cannot reach them there either.
    for (QWidget* control : {static_cast<QWidget*>(SendToAllCheckBox), static_cast<QWidget*>(NewOnlyCheckBox),
                             static_cast<QWidget*>(SendHistoryListBox), static_cast<QWidget*>(Gauge)}) {
        control->setVisible(false);
    }
}

void TSendMsgForm::SendToAllCheckBoxClick(bool checked) {
    NewOnlyCheckBox->setEnabled(checked);
    SendHistoryListBox->setEnabled(checked);
    UpdateUnsentMark();
}

QString TSendMsgForm::MarkAddressee() const {
    if (!(Running ? Broadcasting : SendToAllCheckBox->isChecked())) {
        return TSendFormBase::MarkAddressee();
    }
    // The nicks of the run (the next Send's before it starts). A nick goes into the request as it is, one byte a
    // letter: the longest leaves the least room.
    const QStringList recipients = Running ? RecipientList : RecipientList + Session.ReplyNicks();
    QString longest;
    for (const QString& nick : recipients) {
        if (nick.size() > longest.size() && !IsExcludedNick(nick)) {
            longest = nick;
        }
    }
    return longest;
}

void TSendMsgForm::FunctionKeyPressed(int key) {
    if (key == Qt::Key_F11 && UpperAscii(Settings.LoginName) == BroadcastNick) {
        ToggleExpanded();
    }
}

void TSendMsgForm::ToggleExpanded() {
    Expanded = !Expanded;
    for (QWidget* control : {static_cast<QWidget*>(SendToAllCheckBox), static_cast<QWidget*>(NewOnlyCheckBox),
                             static_cast<QWidget*>(SendHistoryListBox), static_cast<QWidget*>(Gauge)}) {
        control->setVisible(Expanded);
    }
    setFixedHeight(height() + (Expanded ? BroadcastAreaHeight : -BroadcastAreaHeight));
}

void TSendMsgForm::SendButtonClick() {
    if (Waiting || Running || MsgMemo->toPlainText().isEmpty()) {
        return;
    }
    ApplyProxySettings();
    RecipientList += Session.ReplyNicks();
    RecipientIndex = 0;
    Broadcasting = SendToAllCheckBox->isChecked();
    NewOnly = NewOnlyCheckBox->isChecked();
    if (Broadcasting && !PrepareRun(NewOnly)) {
        return;
    }
    StopRequested = false;
    RunFailed = false;
    Running = true;
    // For the nicks of this run: what the mark shows now is what every recipient gets.
    UpdateUnsentMark();
    SendNext();
}

void TSendMsgForm::SendNext() {
    BeginRequest();
    QString addressee = NickLabel->text();
    if (Broadcasting) {
        const std::optional<QString> next = NextRecipient(NewOnly);
        if (!next) {
            Running = false;
            EndRun();
            return;
        }
        addressee = *next;
    }
    if (!PostMessage(addressee)) {
        RunFailed = true;
        FinishRun();
    } else if (!Broadcasting) {
        Running = false; // the reply arrives through the client's events
    }
}

void TSendMsgForm::RequestEnded() {
    // Each recipient only after the reply to the one before has been read; a stop or a failure ended the run in the
    // dialog's reset already.
    if (!Running || Waiting) {
        return;
    }
    if (RecipientIndex >= RecipientList.size()) {
        Running = false;
        EndRun();
        return;
    }
    SendNext();
}

bool TSendMsgForm::PrepareRun(bool newOnly) {
    if (RecipientList.isEmpty()) {
        StatusLabel->setText(QStringLiteral("Nikdo není on-line."));
        return false;
    }
    Gauge->SetRange(0, int(RecipientList.size()));
    SendHistoryListBox->clear();
    if (const std::optional<QStringList> lines = BroadcastLog.ReadLines()) {
        LogLines = *lines;
    }
    if (!BroadcastLog.Open()) {
        TApplication::ReportUnexpectedFailure(QStringLiteral("Záznam rozesílání %1 nelze otevřít ani založit:\n%2")
                                                  .arg(BroadcastLog.Path(), BroadcastLog.ErrorString()));
        return false;
    }
    const QStringList record =
        RunRecordLines(LogDate(QDate::currentDate()), Settings.LoginName, newOnly, MsgMemo->toPlainText());
    for (const QString& line : record) {
        BroadcastLog.WriteLine(line);
    }
    return true;
}

std::optional<QString> TSendMsgForm::NextRecipient(bool newOnly) {
    while (RecipientIndex < RecipientList.size()) {
        const QString nick = RecipientList.at(RecipientIndex++);
        if (IsExcludedNick(nick)) {
            AdvanceGauge();
            continue;
        }
        const QString line = QLatin1Char('[') + LogTime(QTime::currentTime()) + QStringLiteral("] ") + nick;
        CurrentLine = line;
        SendHistoryListBox->addItem(line);
        SendHistoryListBox->scrollToBottom();
        StatusLabel->setText(QStringLiteral("Sent to ") + nick);
        BroadcastLog.Write(line);
        if (newOnly && ServedBefore(LogLines, nick)) {
            BroadcastLog.WriteLine(QStringLiteral(" ...Skipped"));
            AdvanceGauge();
            continue;
        }
        LineOpen = true;
        return nick;
    }
    return std::nullopt;
}

void TSendMsgForm::AdvanceGauge() {
    Gauge->SetProgress(Gauge->Progress() + 1);
}

void TSendMsgForm::WriteOutcome(const QString& outcome) {
    BroadcastLog.WriteLine(outcome);
    LineOpen = false;
}

void TSendMsgForm::ReplyHandled(TSendOutcome outcome) {
    AdvanceGauge();
    if (Running && Broadcasting) {
        const QString result = outcome == TSendOutcome::Sent ? QStringLiteral(" ...OK") : QStringLiteral(" ...Error");
        WriteOutcome(result);
        // A nick the reply names twice (a user in two rooms) is in the log now: "Jen novým" passes over it.
        LogLines.append(CurrentLine + result);
    }
}

void TSendMsgForm::TransportFailed() {
    if (Running && Broadcasting) {
        WriteOutcome(QStringLiteral(" ...Error"));
        // The user has the report and starts again when the connection works.
        RunFailed = true;
        StopRequested = true;
    }
}

void TSendMsgForm::DialogReset() {
    FinishRun();
}

void TSendMsgForm::FinishRun() {
    const bool completed = Running && !RunFailed && RecipientIndex >= RecipientList.size();
    Running = false;
    if (LineOpen) {
        // Stopped while the reply was awaited: whether it arrived is not known, so the line says no outcome, but it
        // ends; the log never keeps half a line.
        BroadcastLog.WriteLine();
        LineOpen = false;
    }
    BroadcastLog.Close();
    if (completed) {
        EndRun(); // stopped while the last recipient's reply was awaited: the run is over all the same
    }
}

void TSendMsgForm::EndRun() {
    BroadcastLog.Close();
    StatusLabel->setText(QStringLiteral("Rozesílaní bylo dokončeno."));
    EnableEditing();
}
