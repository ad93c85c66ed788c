#pragma once

#include <QString>
#include <QStringList>

// Reads a people reply the way the program does (quotes restored, then the one-pass scan over "*", "<", ">" and "#")
// and returns its records as "room NICK IDLE ROOMNAME ROOMID" and "client NICK". Kept in the tests so that a
// change of the stand-in's reply format that the program would misread is caught here.
QStringList ReadPeopleReply(QString text);
