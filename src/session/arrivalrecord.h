#pragma once

#include <QString>
#include <QtGlobal>

// One record of the main window's ArrivalList: a nick seen on-line in this run and the control-timer ticks since
// it arrived.
struct TArrivalRecord {
    QString Nick;
    qint64 ArrivalTicks = 0;
};
