#pragma once

#include "messaging/sendformbase.h"

// "Pošli zprávu na klienta": a message to a user on-line through the client. One request per press of Send; no
// broadcast.
class TSendCliForm : public TSendFormBase {
    Q_OBJECT
public:
    // Its client area is a pixel smaller each way than the chat message's.
    static constexpr QSize ClientSize{409, 186};

    explicit TSendCliForm(TMessagingSession& session, QWidget* parent = nullptr);
};
