// cvrlik-store: reads and changes the program's configuration store from the command line.
#include "regfile.h"
#include "store/sysreg.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

enum TExitCode { Success = 0, Failure = 1, Misuse = 2 };

const char* const Usage = "usage: cvrlik-store keys\n"
                          "       cvrlik-store list KEY\n"
                          "       cvrlik-store get KEY NAME\n"
                          "       cvrlik-store set KEY NAME --string TEXT\n"
                          "       cvrlik-store set KEY NAME --int N\n"
                          "       cvrlik-store delete KEY [NAME]\n"
                          "       cvrlik-store export [FILE]\n"
                          "       cvrlik-store import FILE\n"
                          "KEY is a whole key path such as 'SOFTWARE\\Velmor\\Cvrlik\\Nick List'.\n";

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
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

bool OpenExisting(TSysReg& store, const QString& key) {
    return store.OpenKey(key, false);
}

int Keys(TSysReg& store) {
    for (const QString& path : store.GetKeyPaths()) {
        Print(stdout, path + QLatin1Char('\n'));
    }
    return Success;
}

int List(TSysReg& store, const QString& key) {
    if (!OpenExisting(store, key)) {
        return Fail(QStringLiteral("no key %1").arg(key));
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
    if (!OpenExisting(store, key) || !store.ValueExists(name)) {
        store.CloseKey();
        return Fail(QStringLiteral("no value %1 in %2").arg(name, key));
    }
    const QString value = store.GetDataType(name) == TSysReg::IntegerValue ? QString::number(store.ReadInteger(name))
                                                                           : store.ReadString(name);
    store.CloseKey();
    Print(stdout, value + QLatin1Char('\n'));
    return Success;
}

int Set(TSysReg& store, const QStringList& args) {
    const QString& key = args.at(0);
    const QString& name = args.at(1);
    const QString& kind = args.at(2);
    const QString& data = args.at(3);
    qint32 number = 0;
    if (kind == QLatin1String("--int")) {
        bool ok = false;
        const qlonglong parsed = data.toLongLong(&ok, 10);
        if (!ok || parsed < INT32_MIN || parsed > UINT32_MAX) {
            return MisuseOf(QStringLiteral("not a 32-bit number: %1").arg(data));
        }
        number = qint32(quint32(parsed));
    } else if (kind != QLatin1String("--string")) {
        return MisuseOf(QStringLiteral("set takes --string TEXT or --int N"));
    }
    if (!store.OpenKey(key, true)) {
        return Fail(QStringLiteral("cannot open %1").arg(key));
    }
    if (kind == QLatin1String("--int")) {
        store.WriteInteger(name, number);
    } else {
        store.WriteString(name, data);
    }
    store.CloseKey();
    return Success;
}

int Delete(TSysReg& store, const QStringList& args) {
    const QString& key = args.at(0);
    if (args.size() == 1) {
        return store.DeleteKey(key) ? Success : Fail(QStringLiteral("no key %1").arg(key));
    }
    const bool deleted = OpenExisting(store, key) && store.DeleteValue(args.at(1));
    store.CloseKey();
    return deleted ? Success : Fail(QStringLiteral("no value %1 in %2").arg(args.at(1), key));
}

int Export(TSysReg& store, const QStringList& args) {
    const QString text = ExportRegFile(store);
    if (args.isEmpty() || args.at(0) == QLatin1String("-")) {
        Print(stdout, text);
        return Success;
    }
    QFile file(args.at(0));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0 || !file.flush()) {
        return Fail(QStringLiteral("cannot write %1: %2").arg(args.at(0), file.errorString()));
    }
    return Success;
}

int Import(TSysReg& store, const QString& path) {
    QFile file(path);
    const bool opened =
        path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened) {
        return Fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    }
    const TRegFile parsed = ParseRegFile(QString::fromUtf8(file.readAll()));
    if (!parsed.Error.isEmpty()) {
        return Fail(QStringLiteral("%1: %2; nothing was imported").arg(path, parsed.Error));
    }
    ImportRegFile(store, parsed);
    return Success;
}

int Run(TSysReg& store, const QStringList& args) {
    if (args.isEmpty()) {
        return MisuseOf(QStringLiteral("no command given"));
    }
    const QString command = args.at(0);
    const QStringList rest = args.mid(1);
    auto needs = [&rest](qsizetype least, qsizetype most) { return rest.size() >= least && rest.size() <= most; };
    if (command == QLatin1String("keys") && needs(0, 0)) {
        return Keys(store);
    }
    if (command == QLatin1String("list") && needs(1, 1)) {
        return List(store, rest.at(0));
    }
    if (command == QLatin1String("get") && needs(2, 2)) {
        return Get(store, rest.at(0), rest.at(1));
    }
    if (command == QLatin1String("set") && needs(4, 4)) {
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
    return MisuseOf(QStringLiteral("wrong command or arguments: %1").arg(args.join(QLatin1Char(' '))));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    TSysReg store;
    try {
        const int code = Run(store, QCoreApplication::arguments().mid(1));
        store.CloseKey();
        const QString setAside = store.TakeSetAsideNotice();
        if (!setAside.isEmpty()) {
            Fail(QStringLiteral("the store file could not be read; it was kept as %1 and a new store begun")
                     .arg(setAside),
                 Success);
        }
        return code;
    } catch (const ESysRegError& error) {
        return Fail(QString::fromStdString(error.what()));
    }
}
