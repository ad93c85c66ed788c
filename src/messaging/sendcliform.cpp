#include "messaging/sendcliform.h"

TSendCliForm::TSendCliForm(TMessagingSession& session, QWidget* parent)
    : TSendFormBase(session, QStringLiteral("Pošli zprávu na klienta"), ClientMessageAction(),
                    QFont(QStringLiteral("MS Sans Serif"), 8), parent) {
    SetClientSize(ClientSize);
}
