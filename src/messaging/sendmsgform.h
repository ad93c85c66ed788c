#pragma once

#include "messaging/broadcastlog.h"
#include "messaging/sendformbase.h"

#include <QStringList>
#include <optional>

class QCheckBox;
class QListWidget;
class TGauge;

// "Pošli zprávu do místnosti na Klabos": a message to a chat user. Logged in under the broadcast nick, F11 shows
// the broadcast controls below: the message then goes to every nick of the last people reply in turn, each run
// recorded in the broadcast log.
class TSendMsgForm : public TSendFormBase {
    Q_OBJECT
public:
    // The height the broadcast controls add to the window.
    static constexpr int BroadcastAreaHeight = 200;

    explicit TSendMsgForm(TMessagingSession& session, QWidget* parent = nullptr);

    // Broadcast controls.
    QCheckBox* SendToAllCheckBox = nullptr;
    QCheckBox* NewOnlyCheckBox = nullptr;
    QListWidget* SendHistoryListBox = nullptr;
    TGauge* Gauge = nullptr;

    // The broadcast controls are shown.
    bool Expanded = false;
    // The nicks of the broadcast runs: each press of Send appends the last people reply's nicks.
    QStringList RecipientList;
    int RecipientIndex = 0;
    // The log's lines as read when the run started, and those the run has added since.
    QStringList LogLines;
    TBroadcastLog BroadcastLog;

    bool RunActive() const override { return Running; }

public Q_SLOTS:
    void SendButtonClick() override;
    void SendToAllCheckBoxClick(bool checked);

protected:
    void ReplyHandled(TSendOutcome outcome) override;
    void TransportFailed() override;
    void DialogReset() override;
    // A run goes on after each success, also with its controls hidden again.
    bool ClosesOnSuccess() const override { return !Expanded && !Broadcasting; }
    QString MarkAddressee() const override;
    void FunctionKeyPressed(int key) override;
    void RequestEnded() override;

private:
    void CreateBroadcastControls();
    void ToggleExpanded();
    // Opens the log and writes the run's record; false when the run cannot start.
    bool PrepareRun(bool newOnly);
    // Sends to the next recipient of the run (or the addressee of a single message), or ends the run when none is
    // left. A run goes on from RequestEnded, once the reply to the recipient before has been read.
    void SendNext();
    // The next recipient to send to, after recording and passing over those that are excluded or were served;
    // nothing when none is left.
    std::optional<QString> NextRecipient(bool newOnly);
    void AdvanceGauge();
    void WriteOutcome(const QString& outcome);
    // A run stopped (Stop, Cancel, the dialog closed, a failure): the log is left whole and closed.
    void FinishRun();
    void EndRun();

    bool Running = false;
    // The last Send started a broadcast run ("Poslat všem", shown or hidden again).
    bool Broadcasting = false;
    bool NewOnly = false;
    // The run met a transport failure: it ends there.
    bool RunFailed = false;
    // The log line of the recipient whose reply is awaited, and whether it still waits for its outcome.
    QString CurrentLine;
    bool LineOpen = false;
};
