#include "settings/autostartentry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace {

// Characters that make an argument of Exec quoted, and those that are escaped inside the quotes (the desktop entry
// rules for Exec).
const QString ReservedInExec = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
const QString EscapedInQuotes = QStringLiteral("\"`$\\");

QString QuotedForExec(const QString& argument) {
    QString quoted = argument;
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const bool needsQuotes = std::any_of(argument.cbegin(), argument.cend(),
                                         [](QChar character) { return ReservedInExec.contains(character); });
    if (!needsQuotes) {
        return quoted;
    }
    QString inQuotes;
    for (const QChar character : quoted) {
        if (EscapedInQuotes.contains(character)) {
            inQuotes += QLatin1Char('\\');
        }
        inQuotes += character;
    }
    return QLatin1Char('"') + inQuotes + QLatin1Char('"');
}

// A value of the file: a backslash and the line breaks escaped, as every string value is read back.
QString EscapedValue(const QString& value) {
    QString escaped;
    for (const QChar character : value) {
        if (character == QLatin1Char('\\')) {
            escaped += QStringLiteral("\\\\");
        } else if (character == QLatin1Char('\n')) {
            escaped += QStringLiteral("\\n");
        } else if (character == QLatin1Char('\r')) {
            escaped += QStringLiteral("\\r");
        } else {
            escaped += character;
        }
    }
    return escaped;
}

} // namespace

TAutostartEntry::TAutostartEntry(const QString& folder)
    : Path(QDir(folder).filePath(QStringLiteral(CVRLIK_APP_ID ".desktop"))) {}

QString TAutostartEntry::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

bool TAutostartEntry::IsOn() const {
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inMainGroup || equals < 0) {
            continue;
        }
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return false;
        }
    }
    return true;
}

bool TAutostartEntry::SetOn(bool on, QString& error) const {
    if (on == IsOn()) {
        return true;
    }
    if (!on) {
        QFile file(Path);
        if (!file.remove()) {
            error =
                QStringLiteral("Soubor %1 nejde smazat: %2").arg(QDir::toNativeSeparators(Path), file.errorString());
            return false;
        }
        return true;
    }
    const QString folder = QFileInfo(Path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("Složku %1 nejde vytvořit.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    // Whole or not at all: the desktop never reads half an entry at the next login.
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Contents(ProgramForEntry())) < 0 || !file.commit()) {
        error = QStringLiteral("Soubor %1 nejde zapsat: %2").arg(QDir::toNativeSeparators(Path), file.errorString());
        return false;
    }
    return true;
}

QByteArray TAutostartEntry::Contents(const QString& program) {
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Cvrlik\n"
                                        "Comment=Klabos chat companion, started at login\n"
                                        "Comment[cs]=Klient pro chat Klabos, spuštěný po přihlášení\n"
                                        "Exec=%1 --autostart\n"
                                        "TryExec=%2\n"
                                        "Icon=" CVRLIK_APP_ID "\n"
                                        "Terminal=false\n")
                             .arg(EscapedValue(QuotedForExec(program)), EscapedValue(program));
    return text.toUtf8();
}

QString TAutostartEntry::ProgramForEntry() {
    const QString self = QCoreApplication::applicationFilePath();
    const QString name = QFileInfo(self).fileName();
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty() && QFileInfo(found).canonicalFilePath() == QFileInfo(self).canonicalFilePath()) {
        return name;
    }
    return self;
}
