#pragma once

#include <QString>
#include <QtGlobal>

// One record of the main window's ArrivalList: a nick seen on-line in this run and when it arrived, in milliseconds of
// the program's clock (store/testing.h).
struct TArrivalRecord {
    QString Nick;
    qint64 ArrivalTime = 0;
};
