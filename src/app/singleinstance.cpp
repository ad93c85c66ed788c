#include "app/singleinstance.h"

#include "widgets/modal.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdio>

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
    Failure.clear();
    if (Lock.isLocked()) {
        return true;
    }
    const QString folder = QFileInfo(Path).absolutePath();
    QDir().mkpath(folder);
    if (Lock.tryLock(0)) {
        return true;
    }
    // Only a lock that another copy holds means that one runs; a lock that cannot be written is no copy at all.
    switch (Lock.error()) {
    case QLockFile::NoError:
    case QLockFile::LockFailedError:
        break;
    case QLockFile::PermissionError:
        Failure = QStringLiteral("do složky %1 nelze zapisovat").arg(QDir::toNativeSeparators(folder));
        break;
    case QLockFile::UnknownError:
        Failure = QStringLiteral("soubor %1 nelze vytvořit ani zapsat (složka chybí, je jen pro čtení, nebo je "
                                 "plný disk)")
                      .arg(QDir::toNativeSeparators(Path));
        break;
    }
    return false;
}

bool TSingleInstance::TellFailure() const {
    if (Failure.isEmpty()) {
        return false;
    }
    const QString text = QStringLiteral("Program Cvrlik nelze spustit: %1.\n\nTímto souborem program hlídá, aby "
                                        "běžel jen jednou. Uvolněte místo na disku nebo opravte práva složky a "
                                        "spusťte ho znovu.")
                             .arg(Failure);
    std::fprintf(stderr, "cvrlik: %s\n", qUtf8Printable(text));
    // Without a display (offscreen, minimal) a box would wait unseen for a click that never comes.
    const QString platform = QGuiApplication::platformName();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) && platform != QLatin1String("offscreen") &&
        platform != QLatin1String("minimal")) {
        TModal::MessageBox(nullptr, QStringLiteral("Cvrlik"), text, QMessageBox::Critical);
    }
    return true;
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
