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

public Q_SLOTS:
    void SendButtonClick() override;
    void SendToAllCheckBoxClick(bool checked);

protected:
    void ReplyHandled(TSendOutcome outcome) override;
    void TransportFailed() override;
    void DialogReset() override;
    bool ClosesOnSuccess() const override { return !Expanded; }
    void FunctionKeyPressed(int key) override;
    bool RunActive() const override { return Running; }

private:
    void CreateBroadcastControls();
    void ToggleExpanded();
    // Opens the log and writes the run's record; false when the run cannot start.
    bool PrepareRun(bool newOnly);
    // The next recipient to send to, after recording and passing over those that are excluded or were served;
    // nothing when none is left.
    std::optional<QString> NextRecipient(bool newOnly);
    void AdvanceGauge();
    void EndRun();

    bool Running = false;
    bool Broadcasting = false;
    // The run met a transport failure: it ends there.
    bool RunFailed = false;
    // The log line of the recipient whose reply is awaited.
    QString CurrentLine;
};
