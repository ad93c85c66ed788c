#include "messaging/broadcastlog.h"

#include "store/datafolder.h"
#include "text/codepage.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

QString TBroadcastLog::DefaultPath() {
    return DataFolder() + QStringLiteral("/cvadvert.log");
}

TBroadcastLog::TBroadcastLog(const QString& path)
    : FilePath(path)
    , File(path) {}

std::optional<QStringList> TBroadcastLog::ReadLines() const {
    QFile file(FilePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QString text = FromCp1250(file.readAll());
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

bool TBroadcastLog::Open() {
    Close();
    if (QFileInfo(FilePath).dir() == QFileInfo(DefaultPath()).dir()) {
        MakeDataFolder();
    }
    const bool existed = QFileInfo::exists(FilePath);
    // A log that exists but cannot be written is kept as it is: creating it anew would lose it.
    if (!File.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnly)) {
        return false;
    }
    File.setPermissions(OwnerOnly);
    if (existed) {
        Write(QStringLiteral("\r\n\r\n"));
    }
    return true;
}

void TBroadcastLog::Write(const QString& text) {
    if (!File.isOpen()) {
        return;
    }
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    File.write(ToCp1250(lines));
    File.flush();
}

void TBroadcastLog::WriteLine(const QString& text) {
    Write(text + QLatin1Char('\n'));
}

void TBroadcastLog::Close() {
    if (File.isOpen()) {
        File.close();
    }
}
