#include "store/datafolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <sys/stat.h>

QString DataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Velmor/Cvrlik");
}

bool MakeDataFolder() {
    const QString folder = DataFolder();
    if (!QDir().mkpath(folder)) {
        return false;
    }
    // The log names every nick the user wrote to; nobody else needs to read it.
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    return true;
}
