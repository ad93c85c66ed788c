#pragma once

#include <QString>
#include <QStringList>

// Reads a people reply with the program's own reader (quotes restored first, as the program does) and returns its
// records as "room NICK IDLE ROOMNAME ROOMID" and "client NICK", so a change of the stand-in's reply format that the
// program would misread is caught here.
QStringList ReadPeopleReply(QString text);
