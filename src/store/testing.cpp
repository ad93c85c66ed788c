#include "store/testing.h"

#include "store/clocktimer.h"
#include "store/datafolder.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <ctime>

namespace {

constexpr qint32 MaxTimeDivisor = 1000;

TTesting& Current() {
    static TTesting testing;
    return testing;
}

// The program's clock: the time it showed when the divisor last changed, and the wall clock's then.
struct TClock {
    QElapsedTimer Wall;
    qint64 Base = 0;
    qint64 WallBase = 0;
    bool Stepped = false;
    qint64 SteppedNow = 0;

    TClock() { Wall.start(); }
};

TClock& Clock() {
    static TClock clock;
    return clock;
}

// Keeps the clock continuous across a change of its pace.
void SetCurrent(const TTesting& testing) {
    TClock& clock = Clock();
    clock.Base = ClockNow();
    clock.WallBase = clock.Wall.elapsed();
    Current() = testing;
}

QString OnOneLine(QString text) {
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\t', QStringLiteral("\\t"));
    text.replace(u'\n', QStringLiteral("\\n"));
    text.replace(u'\r', QStringLiteral("\\r"));
    return text;
}

qint64 ProcessCpuMicroseconds() {
    timespec used{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return qint64(used.tv_sec) * 1000000 + used.tv_nsec / 1000;
}

} // namespace

void LoadTesting(const QProcessEnvironment& environment) {
    TTesting testing;
    bool valid = false;
    const qint32 divisor = environment.value(TimeDivisorVariable).trimmed().toInt(&valid);
    if (valid && divisor >= 1 && divisor <= MaxTimeDivisor) {
        testing.Active = true;
        testing.TimeDivisor = divisor;
    }
    SetCurrent(testing);
    // The record says at its start at what pace the run went.
    RecordTestingEvent(QStringLiteral("test-run"), {QString::number(testing.TimeDivisor)});
}

const TTesting& Testing() {
    return Current();
}

void SetTesting(const TTesting& testing) {
    SetCurrent(testing);
}

int Squeezed(int ms) {
    return ms <= 0 ? ms : qMax(1, ms / qMax(1, Current().TimeDivisor));
}

qint64 ClockNow() {
    const TClock& clock = Clock();
    if (clock.Stepped) {
        return clock.SteppedNow;
    }
    return clock.Base + (clock.Wall.elapsed() - clock.WallBase) * qMax(1, Current().TimeDivisor);
}

void SetSteppedClock(bool on) {
    TClock& clock = Clock();
    if (on == clock.Stepped) {
        return;
    }
    const qint64 now = ClockNow();
    clock.Stepped = on;
    clock.SteppedNow = now;
    clock.Base = now;
    clock.WallBase = clock.Wall.elapsed();
    TClockTimer::ClockModeChanged();
}

bool SteppedClock() {
    return Clock().Stepped;
}

void StepClock(qint64 ms) {
    TClock& clock = Clock();
    if (!clock.Stepped) {
        return;
    }
    const qint64 end = clock.SteppedNow + qMax<qint64>(0, ms);
    while (TClockTimer* next = TClockTimer::FirstDue(end)) {
        clock.SteppedNow = qMax(clock.SteppedNow, next->Due());
        next->Fire();
    }
    clock.SteppedNow = end;
}

QString TestingRecordPath() {
    return DataFolder() + QStringLiteral("/testing.log");
}

void RecordTestingEvent(const QString& event, const QStringList& details) {
    if (!Current().Active || !MakeDataFolder()) {
        return;
    }
    QFile record(TestingRecordPath());
    if (!record.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return;
    }
    QString line = QStringLiteral("%1\t%2\t%3")
                       .arg(QDateTime::currentMSecsSinceEpoch())
                       .arg(ProcessCpuMicroseconds())
                       .arg(OnOneLine(event));
    for (const QString& detail : details) {
        line += u'\t' + OnOneLine(detail);
    }
    record.write((line + u'\n').toUtf8());
}
