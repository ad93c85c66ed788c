#include "app/startoptions.h"

#include "store/settings.h"

#include <cstdio>

namespace {

// The toolkit's own options, which it takes out of the command line when the application object is made; each may
// be written with one dash or two. Those of the first list take a value, as the next argument or after "=".
const QStringList ToolkitOptionsWithValue{QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
                                          QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
                                          QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
                                          QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
                                          QStringLiteral("display"),         QStringLiteral("geometry"),
                                          QStringLiteral("style"),           QStringLiteral("stylesheet"),
                                          QStringLiteral("qmljsdebugger")};
const QStringList ToolkitSwitches{QStringLiteral("reverse"), QStringLiteral("widgetcount")};

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString HelpText() {
    return QStringLiteral(
        "Použití: cvrlik [--autostart]\n"
        "Cvrlik, společník webového chatu Klabos: hlídá sledované uživatele, ohlašuje jejich příchod,\n"
        "varuje před vyhozením pro nečinnost a schovává vzkazy, dokud si je nepřečtete.\n"
        "\n"
        "  --autostart  spustit jako po přihlášení: jen ikona v oznamovací oblasti, hlavní okno\n"
        "               skryté (kde oznamovací oblast není, okno se ukáže)\n"
        "  -h, --help   vypsat tuto nápovědu a skončit\n"
        "  --version    vypsat verzi a skončit\n"
        "\n"
        "Nastavení je v ~/.config/Velmor/Cvrlik/registry.db (nástroj cvrlik-store), soubory programu\n"
        "v ~/.local/share/Velmor/Cvrlik/. Podrobnosti: man cvrlik.\n");
}

TStartOptions Mistake(const QString& text) {
    TStartOptions options;
    options.Action = TStartOptions::TAction::Misuse;
    options.Mistake = text;
    return options;
}

} // namespace

TStartOptions ReadStartOptions(const QStringList& arguments) {
    TStartOptions options;
    bool help = false;
    bool version = false;
    for (qsizetype at = 0; at < arguments.size(); ++at) {
        const QString& argument = arguments.at(at);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            help = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            version = true;
            continue;
        }
        if (argument == QLatin1String("--autostart")) {
            options.StartedAtLogin = true;
            continue;
        }
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-") ||
            argument == QLatin1String("--")) {
            return Mistake(QStringLiteral("nečekaný argument „%1“").arg(argument));
        }
        const QString name =
            argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        if (ToolkitSwitches.contains(name)) {
            continue;
        }
        if (!ToolkitOptionsWithValue.contains(name)) {
            return Mistake(QStringLiteral("neznámý přepínač „%1“").arg(argument));
        }
        if (!argument.contains(QLatin1Char('='))) {
            if (at + 1 >= arguments.size()) {
                return Mistake(QStringLiteral("přepínači „%1“ chybí hodnota").arg(argument));
            }
            ++at; // the value, whatever it looks like, is the toolkit's
        }
    }
    if (help) {
        options.Action = TStartOptions::TAction::Help;
    } else if (version) {
        options.Action = TStartOptions::TAction::Version;
    }
    return options;
}

TStartOptions ReadStartOptions(int argc, char** argv) {
    QStringList arguments;
    for (int at = 1; at < argc; ++at) {
        arguments.append(QString::fromLocal8Bit(argv[at]));
    }
    return ReadStartOptions(arguments);
}

std::optional<int> AnswerStartOptions(const TStartOptions& options) {
    switch (options.Action) {
    case TStartOptions::TAction::Run:
        return std::nullopt;
    case TStartOptions::TAction::Help:
        Print(stdout, HelpText());
        return 0;
    case TStartOptions::TAction::Version:
        Print(stdout, QStringLiteral("cvrlik %1\n").arg(VersionText()));
        return 0;
    case TStartOptions::TAction::Misuse:
        Print(stderr, QStringLiteral("cvrlik: %1\nNápovědu vypíše „cvrlik --help“.\n").arg(options.Mistake));
        return 2;
    }
    return std::nullopt;
}

bool ShowMainFormAtStart(bool displayOnStart, bool startedAtLogin, bool trayReachable) {
    if (!trayReachable) {
        return true;
    }
    return displayOnStart && !startedAtLogin;
}
