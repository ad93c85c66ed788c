#include "store/testing.h"

#include "store/datafolder.h"
#include "store/sysreg.h"

#include <QDateTime>
#include <QFile>
#include <ctime>

namespace {

constexpr qint32 MaxTimeDivisor = 1000;

TTesting& Current() {
    static TTesting testing;
    return testing;
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

void LoadTesting(TSysReg& store) {
    TTesting testing;
    try {
        store.CloseKey();
        if (store.OpenKey(TestingKey, false)) {
            const qint32 divisor = store.ReadInteger(QStringLiteral("TimeDivisor"));
            if (divisor >= 1 && divisor <= MaxTimeDivisor) {
                testing.Active = true;
                testing.TimeDivisor = divisor;
            }
        }
        store.CloseKey();
    } catch (const ESysRegError&) {
        // A missing or mistyped divisor: a normal run.
    }
    Current() = testing;
}

const TTesting& Testing() {
    return Current();
}

void SetTesting(const TTesting& testing) {
    Current() = testing;
}

int Squeezed(int ms) {
    return ms <= 0 ? ms : qMax(1, ms / qMax(1, Current().TimeDivisor));
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
