#pragma once

// The send dialogs against the in-process service stand-in: a test store, the stand-in with a quiet world, the
// settings pointing at it as the proxy and a session key it issued.
#include "plainsession.h"
#include "server.h"
#include "teststore.h"

#include <QApplication>
#include <QTest>
#include <memory>

inline constexpr int NetTimeout = 15000;

class TSendFixture {
public:
    TTestStore Store;
    KlabosSim::Server Sim{7, false};
    TPlainSession Session;

    // The account logs in; alice, Bob and cyril are simulated users, all off-line.
    bool Start(const QString& account = QStringLiteral("demo")) {
        KlabosSim::World& world = Sim.TheWorld();
        world.SetLively(false);
        world.AddUser(account, QStringLiteral("heslo"), false);
        for (const char* nick : {"alice", "Bob", "cyril"}) {
            world.AddUser(QString::fromLatin1(nick), QStringLiteral("heslo"), true);
        }
        if (!Store.IsValid() || !Sim.Listen()) {
            return false;
        }
        Settings.LoginName = account;
        Settings.UsingProxy = true;
        Settings.ProxyServer = QStringLiteral("127.0.0.1");
        Settings.ProxyPort = Sim.Port();
        Session.Key = world.Login(account, QStringLiteral("heslo")).value_or(QString());
        Session.ReconnectBox.setChecked(true);
        return !Session.Key.isEmpty();
    }

    // The addressees of the message requests the stand-in received, in order.
    QStringList Addressees() const {
        QStringList nicks;
        for (const KlabosSim::RecordedRequest& request : Sim.Requests()) {
            nicks << request.Field(QStringLiteral("komu"));
        }
        return nicks;
    }
};

// Types the text key by key, Czech letters included.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        if (character.unicode() < 0x80) {
            QTest::keyClick(widget, character.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
        }
    }
}
