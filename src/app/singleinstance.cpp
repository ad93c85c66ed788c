#include "app/singleinstance.h"

#include <QDir>
#include <QStandardPaths>

const QString TSingleInstance::MarkText = QStringLiteral("Cvrlik (Klabos client by Velmor)");

TSingleInstance::TSingleInstance(const QString& folder)
    : Path(QDir(folder).filePath(LockFileName()))
    , Lock(Path) {
    // A lock is stale only when its process is gone (or is another program); never because of its age, since a
    // copy of the program may run for weeks.
    Lock.setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance() {
    Release();
}

bool TSingleInstance::TryAcquire() {
    if (Lock.isLocked()) {
        return true;
    }
    QDir().mkpath(QFileInfo(Path).absolutePath());
    return Lock.tryLock(0);
}

void TSingleInstance::Release() {
    if (Lock.isLocked()) {
        Lock.unlock();
    }
}

QString TSingleInstance::LockFileName() {
    QString name;
    bool gap = false;
    for (const QChar character : MarkText) {
        const bool kept = (character.isLetterOrNumber() && character.unicode() < 128) ||
                          character == QLatin1Char('.') || character == QLatin1Char('_') ||
                          character == QLatin1Char('-');
        if (kept) {
            if (gap && !name.isEmpty()) {
                name += QLatin1Char('-');
            }
            name += character;
            gap = false;
        } else {
            gap = true;
        }
    }
    return name + QStringLiteral(".lock");
}

QString TSingleInstance::DefaultFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}
