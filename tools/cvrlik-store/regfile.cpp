#include "regfile.h"

#include "store/sysreg.h"

namespace {

const QString RootPrefix = QStringLiteral("HKEY_CURRENT_USER\\");

bool HasControlCharacters(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(), [](QChar character) { return character.unicode() < 0x20; });
}

QString Quoted(const QString& text) {
    QString quoted = QStringLiteral("\"");
    for (const QChar character : text) {
        switch (character.unicode()) {
        case '\\':
            quoted += QStringLiteral("\\\\");
            break;
        case '"':
            quoted += QStringLiteral("\\\"");
            break;
        // Only names can get here with these; values holding them go out as hex(1).
        case '\n':
            quoted += QStringLiteral("\\n");
            break;
        case '\r':
            quoted += QStringLiteral("\\r");
            break;
        case '\0':
            quoted += QStringLiteral("\\0");
            break;
        default:
            quoted += character;
        }
    }
    return quoted + QLatin1Char('"');
}

QString HexString(const QString& text) {
    QStringList bytes;
    auto addUnit = [&bytes](char16_t unit) {
        bytes << QStringLiteral("%1").arg(unit & 0xFF, 2, 16, QLatin1Char('0'))
              << QStringLiteral("%1").arg(unit >> 8, 2, 16, QLatin1Char('0'));
    };
    for (const QChar character : text) {
        addUnit(character.unicode());
    }
    addUnit(0);
    return QStringLiteral("hex(1):") + bytes.join(QLatin1Char(','));
}

QString ValueLine(const TRegValue& value) {
    const QString line = Quoted(value.Name) + QLatin1Char('=');
    switch (value.Kind) {
    case TRegValue::Integer:
        return line + QStringLiteral("dword:%1").arg(quint32(value.Number), 8, 16, QLatin1Char('0'));
    case TRegValue::Delete:
        return line + QLatin1Char('-');
    case TRegValue::String:
        break;
    }
    return line + (HasControlCharacters(value.Text) ? HexString(value.Text) : Quoted(value.Text));
}

// A path that starts with "-" or with the root's name is written with the root's name before it: the reader would
// take the "-" for a removal (an export read back would remove another key) or strip the root's name off.
QString KeyLine(const TRegKey& key) {
    QString path = key.Path;
    if (path.startsWith(QLatin1Char('-')) || path.startsWith(RootPrefix, Qt::CaseInsensitive)) {
        path.prepend(RootPrefix);
    }
    return QStringLiteral("[") + (key.Delete ? QStringLiteral("-") : QString()) + path + QLatin1Char(']');
}

TRegValue ReadStoredValue(TSysReg& store, const QString& name) {
    TRegValue value;
    value.Name = name;
    if (store.GetDataType(name) == TSysReg::IntegerValue) {
        value.Kind = TRegValue::Integer;
        value.Number = store.ReadInteger(name);
    } else {
        value.Text = store.ReadString(name);
    }
    return value;
}

// Reads a quoted text at `position` (on the opening quote); moves `position` past the closing quote.
bool ReadQuoted(const QString& line, qsizetype& position, QString& text) {
    text.clear();
    for (++position; position < line.size(); ++position) {
        QChar character = line.at(position);
        if (character == QLatin1Char('"')) {
            ++position;
            return true;
        }
        if (character == QLatin1Char('\\')) {
            if (++position >= line.size()) {
                return false;
            }
            character = line.at(position);
            switch (character.unicode()) {
            case 'n':
                character = QLatin1Char('\n');
                break;
            case 'r':
                character = QLatin1Char('\r');
                break;
            case '0':
                character = QChar(0);
                break;
            case '\\':
            case '"':
                break;
            default:
                return false;
            }
        }
        text += character;
    }
    return false;
}

bool ReadHexString(const QString& data, QString& text) {
    const QStringList bytes = data.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (bytes.size() % 2 != 0 || bytes.size() < 2) {
        return false;
    }
    text.clear();
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        bool lowOk = false;
        bool highOk = false;
        const uint low = bytes.at(i).trimmed().toUInt(&lowOk, 16);
        const uint high = bytes.at(i + 1).trimmed().toUInt(&highOk, 16);
        if (!lowOk || !highOk || low > 0xFF || high > 0xFF) {
            return false;
        }
        text += QChar(char16_t(low | high << 8));
    }
    if (text.back() != QChar(0)) {
        return false;
    }
    text.chop(1); // the terminating zero unit
    return true;
}

bool ReadValue(const QString& line, TRegValue& value) {
    qsizetype position = 0;
    if (!line.startsWith(QLatin1Char('"')) || !ReadQuoted(line, position, value.Name)) {
        return false;
    }
    if (position >= line.size() || line.at(position) != QLatin1Char('=')) {
        return false;
    }
    const QString data = line.mid(position + 1).trimmed();
    if (data == QLatin1String("-")) {
        value.Kind = TRegValue::Delete;
        return true;
    }
    if (data.startsWith(QLatin1Char('"'))) {
        qsizetype dataPosition = 0;
        value.Kind = TRegValue::String;
        return ReadQuoted(data, dataPosition, value.Text) && dataPosition == data.size();
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QString digits = data.mid(6);
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        value.Kind = TRegValue::Integer;
        value.Number = qint32(number);
        return ok && !digits.isEmpty() && digits.size() <= 8;
    }
    if (data.startsWith(QLatin1String("hex(1):"), Qt::CaseInsensitive)) {
        value.Kind = TRegValue::String;
        return ReadHexString(data.mid(7), value.Text);
    }
    return false;
}

// Joins the continuation lines of hex data (a line ending in a backslash goes on in the next one).
QStringList LogicalLines(const QString& text, QList<int>& lineNumbers) {
    QStringList lines;
    const QStringList physical = text.split(QLatin1Char('\n'));
    for (int i = 0; i < physical.size(); ++i) {
        QString line = physical.at(i);
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const int number = i + 1;
        const bool continued = !lines.isEmpty() && lines.back().endsWith(QLatin1Char('\\')) &&
                               lines.back().contains(QLatin1String("=hex"), Qt::CaseInsensitive);
        if (continued) {
            lines.back().chop(1);
            lines.back() += line.trimmed();
            continue;
        }
        lines << line;
        lineNumbers << number;
    }
    return lines;
}

// A file refused whole: no key of it, and the line that was wrong.
TRegFile Refused(int lineNumber, const QString& what) {
    TRegFile file;
    file.Error = QStringLiteral("řádek %1: %2").arg(lineNumber).arg(what);
    return file;
}

// After a failed open or removal of a key: throws when the store itself failed (busy, an I/O error), so a missing
// key is never confused with a store that could not be read.
void RequireReachable(TSysReg& store, const QString& path) {
    if (!store.FailureReason().isEmpty()) {
        throw ESysRegError(
            QStringLiteral("Klíč „%1“ nelze otevřít: %2.").arg(path, store.FailureReason()).toStdString());
    }
}

} // namespace

QString ExportRegFile(TSysReg& store) {
    TRegFile file;
    for (const QString& path : store.GetKeyPaths()) {
        file.Keys.append({path, false, {}});
        if (!store.OpenKeyToRead(path)) {
            RequireReachable(store, path);
            continue; // removed meanwhile by another process
        }
        for (const QString& name : store.GetValueNames()) {
            file.Keys.back().Values.append(ReadStoredValue(store, name));
        }
        store.CloseKey();
    }
    return FormatRegFile(file);
}

QString FormatRegFile(const TRegFile& file) {
    QString text = QStringLiteral("; Cvrlik configuration store\n");
    for (const TRegKey& key : file.Keys) {
        text += QLatin1Char('\n') + KeyLine(key) + QLatin1Char('\n');
        for (const TRegValue& value : key.Values) {
            text += ValueLine(value) + QLatin1Char('\n');
        }
    }
    return text;
}

TRegFile ParseRegFile(const QString& text) {
    TRegFile file;
    QList<int> lineNumbers;
    const QStringList lines = LogicalLines(text, lineNumbers);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            TRegKey key;
            key.Path = line.mid(1, line.size() - 2);
            key.Delete = key.Path.startsWith(QLatin1Char('-'));
            if (key.Delete) {
                key.Path.remove(0, 1);
            }
            if (key.Path.startsWith(RootPrefix, Qt::CaseInsensitive)) {
                key.Path.remove(0, RootPrefix.size());
            }
            // Checked before anything is written, so a bad path in the middle of a file never leaves half of it
            // imported.
            if (!TSysReg::IsValidKeyPath(key.Path)) {
                return Refused(lineNumbers.at(i),
                               QStringLiteral("„%1“ není cesta ke klíči (prázdné jméno mezi zpětnými lomítky nebo "
                                              "řídicí znak)")
                                   .arg(key.Path));
            }
            file.Keys << key;
            continue;
        }
        TRegValue value;
        if (file.Keys.isEmpty() || file.Keys.back().Delete || !ReadValue(line, value)) {
            return Refused(lineNumbers.at(i), file.Keys.isEmpty()
                                                  ? QStringLiteral("hodnota před prvním řádkem [KLÍČ]")
                                                  : QStringLiteral("řádek hodnoty, kterému nástroj nerozumí"));
        }
        file.Keys.back().Values << value;
    }
    return file;
}

void ImportRegFile(TSysReg& store, const TRegFile& file) {
    if (!store.BeginChanges()) {
        throw ESysRegError(QStringLiteral("Nastavení nelze změnit: %1.").arg(store.FailureReason()).toStdString());
    }
    for (const TRegKey& key : file.Keys) {
        if (key.Delete) {
            if (!store.DeleteKey(key.Path)) {
                RequireReachable(store, key.Path); // a key that is not there needs no removal
            }
            continue;
        }
        if (!store.OpenKey(key.Path, true)) {
            RequireReachable(store, key.Path);
            throw ESysRegError(QStringLiteral("Klíč „%1“ nelze otevřít.").arg(key.Path).toStdString());
        }
        for (const TRegValue& value : key.Values) {
            switch (value.Kind) {
            case TRegValue::String:
                store.WriteString(value.Name, value.Text);
                break;
            case TRegValue::Integer:
                store.WriteInteger(value.Name, value.Number);
                break;
            case TRegValue::Delete:
                store.DeleteValue(value.Name);
                break;
            }
        }
        store.CloseKey();
    }
    store.CommitChanges();
}

QString EscapeForListing(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar character : text) {
        switch (character.unicode()) {
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        case '\0':
            escaped += QStringLiteral("\\0");
            break;
        default:
            escaped += character;
        }
    }
    return escaped;
}
