// cvrlik-store: reads and changes the program's configuration store from the command line.
#include "regfile.h"
#include "store/encrypt.h"
#include "store/sysreg.h"

#include <QCoreApplication>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

enum TExitCode { Success = 0, Failure = 1, Misuse = 2 };

const char* const Usage = "použití: cvrlik-store keys\n"
                          "         cvrlik-store list KLÍČ\n"
                          "         cvrlik-store get KLÍČ NÁZEV\n"
                          "         cvrlik-store set KLÍČ NÁZEV --string TEXT\n"
                          "         cvrlik-store set KLÍČ NÁZEV --int N\n"
                          "         cvrlik-store set KLÍČ NÁZEV --password TEXT\n"
                          "         cvrlik-store set KLÍČ NÁZEV --password-stdin\n"
                          "         cvrlik-store delete KLÍČ [NÁZEV]\n"
                          "         cvrlik-store export [SOUBOR]\n"
                          "         cvrlik-store import SOUBOR\n"
                          "         cvrlik-store --help\n"
                          "KLÍČ je celá cesta ke klíči, například 'SOFTWARE\\Velmor\\Cvrlik\\Nick List'.\n"
                          "--password uloží TEXT zamaskovaný, jak program ukládá hesla.\n"
                          "--password-stdin uloží stejně heslo z prvního řádku standardního vstupu: na rozdíl\n"
                          "od --password ho neuvidí ostatní v seznamu procesů a nezůstane v historii příkazů.\n"
                          "Export obsahuje zamaskovaná hesla a soubor dostane práva 0600.\n";

// The first failure to write the standard output (errno's number); 0 while everything went out.
int OutputError = 0;

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) != size_t(bytes.size()) && stream == stdout &&
        OutputError == 0) {
        OutputError = errno != 0 ? errno : EIO;
    }
}

int Fail(const QString& message, int code = Failure) {
    Print(stderr, QStringLiteral("cvrlik-store: ") + message + QLatin1Char('\n'));
    return code;
}

int MisuseOf(const QString& message) {
    Fail(message, Misuse);
    std::fputs(Usage, stderr);
    return Misuse;
}

// To read: another process's write never holds the tool up.
bool OpenExisting(TSysReg& store, const QString& key) {
    return store.OpenKeyToRead(key);
}

// After a failed open of the key: a store that could not be reached says why, a missing key says so.
int KeyFailure(TSysReg& store, const QString& key) {
    if (!store.FailureReason().isEmpty()) {
        return Fail(QStringLiteral("klíč %1 nelze otevřít: %2").arg(key, store.FailureReason()));
    }
    return Fail(QStringLiteral("klíč %1 neexistuje").arg(key));
}

int MissingValue(const QString& key, const QString& name) {
    return Fail(QStringLiteral("hodnota %1 v klíči %2 neexistuje").arg(name, key));
}

int Keys(TSysReg& store) {
    for (const QString& path : store.GetKeyPaths()) {
        Print(stdout, path + QLatin1Char('\n'));
    }
    return Success;
}

int List(TSysReg& store, const QString& key) {
    if (!OpenExisting(store, key)) {
        return KeyFailure(store, key);
    }
    for (const QString& name : store.GetValueNames()) {
        const bool isInteger = store.GetDataType(name) == TSysReg::IntegerValue;
        const QString value = isInteger ? QString::number(store.ReadInteger(name)) : store.ReadString(name);
        Print(stdout, EscapeForListing(name) +
                          (isInteger ? QStringLiteral("\tinteger\t") : QStringLiteral("\tstring\t")) +
                          (isInteger ? value : EscapeForListing(value)) + QLatin1Char('\n'));
    }
    store.CloseKey();
    return Success;
}

int Get(TSysReg& store, const QString& key, const QString& name) {
    if (!OpenExisting(store, key)) {
        return KeyFailure(store, key);
    }
    if (!store.ValueExists(name)) {
        store.CloseKey();
        return MissingValue(key, name);
    }
    const QString value = store.GetDataType(name) == TSysReg::IntegerValue ? QString::number(store.ReadInteger(name))
                                                                           : store.ReadString(name);
    store.CloseKey();
    Print(stdout, value + QLatin1Char('\n'));
    return Success;
}

// The first line of the standard input without its line end; nothing when not even an empty line came.
std::optional<QString> FirstInputLine() {
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray line = input.readLine();
    if (line.isEmpty()) {
        return std::nullopt;
    }
    if (line.endsWith('\n')) {
        line.chop(1);
    }
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    return QString::fromUtf8(line);
}

int Set(TSysReg& store, const QStringList& args) {
    const QString& key = args.at(0);
    const QString& name = args.at(1);
    const QString& kind = args.at(2);
    const bool fromInput = kind == QLatin1String("--password-stdin");
    if (args.size() != (fromInput ? 3 : 4)) {
        return MisuseOf(QStringLiteral("set potřebuje --string TEXT, --int N, --password TEXT nebo --password-stdin"));
    }
    QString data = fromInput ? QString() : args.at(3);
    if (fromInput) {
        const std::optional<QString> line = FirstInputLine();
        if (!line) {
            return Fail(QStringLiteral("heslo nelze přečíst ze standardního vstupu"));
        }
        data = *line;
    }
    qint32 number = 0;
    if (kind == QLatin1String("--int")) {
        bool ok = false;
        const qlonglong parsed = data.toLongLong(&ok, 10);
        if (!ok || parsed < INT32_MIN || parsed > UINT32_MAX) {
            return MisuseOf(QStringLiteral("%1 není 32bitové číslo").arg(data));
        }
        number = qint32(quint32(parsed));
    } else if (kind != QLatin1String("--string") && kind != QLatin1String("--password") && !fromInput) {
        return MisuseOf(QStringLiteral("set potřebuje --string TEXT, --int N, --password TEXT nebo --password-stdin"));
    }
    if (!store.OpenKey(key, true)) {
        return KeyFailure(store, key);
    }
    if (kind == QLatin1String("--int")) {
        store.WriteInteger(name, number);
    } else if (kind == QLatin1String("--password") || fromInput) {
        store.WriteString(name, ScrambleText(data)); // in the form the program keeps its passwords
    } else {
        store.WriteString(name, data);
    }
    store.CloseKey();
    return Success;
}

int Delete(TSysReg& store, const QStringList& args) {
    const QString& key = args.at(0);
    if (args.size() == 1) {
        return store.DeleteKey(key) ? Success : KeyFailure(store, key);
    }
    if (!store.OpenKey(key, false)) {
        return KeyFailure(store, key);
    }
    const bool deleted = store.DeleteValue(args.at(1));
    store.CloseKey();
    return deleted ? Success : MissingValue(key, args.at(1));
}

// The export holds the scrambled passwords, which are easily recovered: only the user may read the file, also
// when it existed before with a wider mode.
bool WritePrivateFile(const QString& path, const QByteArray& data, QString& error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // A device or a pipe given as the file (/dev/stdout) keeps its mode: it is not ours to change.
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    QFile file;
    if ((regular && ::fchmod(fd, 0600) != 0) || !file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    if (file.write(data) != data.size() || !file.flush()) {
        error = file.errorString();
        return false;
    }
    return true;
}

int Export(TSysReg& store, const QStringList& args) {
    const QString text = ExportRegFile(store);
    if (args.isEmpty() || args.at(0) == QLatin1String("-")) {
        Print(stdout, text);
        return Success;
    }
    QString error;
    if (!WritePrivateFile(args.at(0), text.toUtf8(), error)) {
        return Fail(QStringLiteral("soubor %1 nelze zapsat (%2)").arg(args.at(0), error));
    }
    return Success;
}

int Import(TSysReg& store, const QString& path) {
    QFile file(path);
    const bool opened =
        path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened) {
        return Fail(QStringLiteral("soubor %1 nelze přečíst (%2)").arg(path, file.errorString()));
    }
    const TRegFile parsed = ParseRegFile(QString::fromUtf8(file.readAll()));
    if (!parsed.Error.isEmpty()) {
        return Fail(QStringLiteral("%1: %2; nic nebylo importováno").arg(path, parsed.Error));
    }
    try {
        ImportRegFile(store, parsed);
    } catch (const ESysRegError& error) {
        return Fail(QStringLiteral("%1 Nic nebylo importováno.").arg(QString::fromUtf8(error.what())));
    }
    return Success;
}

int Run(TSysReg& store, const QStringList& args) {
    if (args.isEmpty()) {
        return MisuseOf(QStringLiteral("chybí příkaz"));
    }
    const QString command = args.at(0);
    const QStringList rest = args.mid(1);
    auto needs = [&rest](qsizetype least, qsizetype most) { return rest.size() >= least && rest.size() <= most; };
    if ((command == QLatin1String("--help") || command == QLatin1String("-h")) && needs(0, 0)) {
        Print(stdout, QString::fromUtf8(Usage));
        return Success;
    }
    if (command == QLatin1String("keys") && needs(0, 0)) {
        return Keys(store);
    }
    if (command == QLatin1String("list") && needs(1, 1)) {
        return List(store, rest.at(0));
    }
    if (command == QLatin1String("get") && needs(2, 2)) {
        return Get(store, rest.at(0), rest.at(1));
    }
    if (command == QLatin1String("set") && needs(3, 4)) {
        return Set(store, rest);
    }
    if (command == QLatin1String("delete") && needs(1, 2)) {
        return Delete(store, rest);
    }
    if (command == QLatin1String("export") && needs(0, 1)) {
        return Export(store, rest);
    }
    if (command == QLatin1String("import") && needs(1, 1)) {
        return Import(store, rest.at(0));
    }
    return MisuseOf(QStringLiteral("neznámý příkaz nebo špatné argumenty: %1").arg(args.join(QLatin1Char(' '))));
}

// What the standard output could not take (a full disk, a closed pipe) fails the run: a listing or an export cut
// short must not pass for a whole one.
int CheckOutput(int code) {
    if (std::fflush(stdout) != 0 && OutputError == 0) {
        OutputError = errno != 0 ? errno : EIO;
    }
    if (OutputError == 0 && std::ferror(stdout)) {
        OutputError = EIO;
    }
    if (OutputError != 0) {
        return Fail(QStringLiteral("standardní výstup nelze zapsat (%1)")
                        .arg(QString::fromLocal8Bit(std::strerror(OutputError))));
    }
    return code;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    TSysReg store;
    try {
        const int code = CheckOutput(Run(store, QCoreApplication::arguments().mid(1)));
        store.CloseKey();
        const QString setAside = store.TakeSetAsideNotice();
        if (!setAside.isEmpty()) {
            Fail(QStringLiteral("soubor s nastavením nešel přečíst; byl odložen jako %1 a začíná nové nastavení")
                     .arg(setAside),
                 Success);
        }
        return code;
    } catch (const ESysRegError& error) {
        return Fail(QString::fromUtf8(error.what()));
    }
}
