#include "shelloptions.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

struct OptionSpec
{
    const char *name;        // without the dashes
    const char *valueName;   // null for a switch
    const char *description; // null for Qt's own options, which the usage does not list
};

// The shell's options in the order the usage lists them. An option is one line here and its
// reading in ParseShellOptions.
const OptionSpec kShellOptions[] = {
    {"server", "HOST:PORTA", "Servidor de aplicação; sem ele, o shell inicia um servidor próprio."},
    {"token", "CHAVE", "Chave de acesso ao servidor de aplicação."},
    {"database", "URL", "Banco de dados: sqlite:ARQUIVO ou postgresql://usuario@host:porta/banco."},
    {"branch", "CODIGO", "Filial do operador; sem ela, a de menor código."},
    {"operator", "NOME",
     "Nome do operador no histórico de alterações; sem ele, o login do sistema."},
    {"per-branch", nullptr, "Trava a filial do operador."},
    {"periodicity", "CODIGO", "Periodicidade da Visão Geral e do aviso ao iniciar (padrão 01)."},
    {"horizon-days", "DIAS",
     "Dias antes do último dia do calendário em que a Visão Geral avisa (padrão 90)."},
    {"seed-demo", nullptr,
     "Sem --server, preenche também os dados de demonstração num banco que já existe."},
    {"platform", "NOME", "Plataforma gráfica do Qt: xcb, wayland ou offscreen."},
    {"screenshot", "ARQUIVO", "Grava uma imagem PNG das telas abertas e termina."},
    {"report", "CODIGO", "Gera o relatório deste código sem abrir janelas."},
    {"param", "NOME=VALOR", "Parâmetro do relatório (datas como AAAA-MM-DD); repita para cada um."},
    {"output", "ARQUIVO", "Arquivo do relatório gerado com --report (.pdf ou .csv)."},
    {"version", nullptr, "Mostra a versão e termina."},
    {"help", nullptr, "Mostra esta ajuda e termina."},
};

// Options QApplication takes itself: accepted here and left to it.
const OptionSpec kQtOptions[] = {
    {"platformpluginpath", "", nullptr},
    {"platformtheme", "", nullptr},
    {"plugin", "", nullptr},
    {"qwindowgeometry", "", nullptr},
    {"qwindowicon", "", nullptr},
    {"qwindowtitle", "", nullptr},
    {"display", "", nullptr},
    {"geometry", "", nullptr},
    {"style", "", nullptr},
    {"stylesheet", "", nullptr},
    {"session", "", nullptr},
    {"name", "", nullptr},
    {"title", "", nullptr},
    {"visual", "", nullptr},
    {"reverse", nullptr, nullptr},
    {"widgetcount", nullptr, nullptr},
    {"nograb", nullptr, nullptr},
    {"dograb", nullptr, nullptr},
    {"sync", nullptr, nullptr},
};

const OptionSpec *findOption(const QString &name)
{
    for (const OptionSpec &entry : kShellOptions) {
        if (name == QLatin1String(entry.name))
            return &entry;
    }
    for (const OptionSpec &entry : kQtOptions) {
        if (name == QLatin1String(entry.name))
            return &entry;
    }
    return nullptr;
}

// The arguments as given: values by option name, the switches that were set, and the first fault.
struct RawArguments
{
    QHash<QString, QString> values;
    QStringList params; // --param may be given once per report parameter
    QSet<QString> switches;
    QString error;
};

RawArguments readArguments(const QStringList &arguments)
{
    RawArguments raw;
    // The first fault is kept, and the rest still read: --help anywhere is still seen.
    const auto refuse = [&raw](const QString &error) {
        if (raw.error.isEmpty())
            raw.error = error;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("-h")) {
            raw.switches.insert(QStringLiteral("help"));
            continue;
        }
        if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2 ||
            argument == QLatin1String("--")) {
            refuse(QStringLiteral("argumento inesperado: \"%1\".").arg(argument));
            continue;
        }
        // Both --name and Qt's -name; a value after "=" or as the next argument.
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool inlineValue = equals >= 0;
        const QString value = inlineValue ? name.mid(equals + 1) : QString();
        if (inlineValue)
            name.truncate(equals);
        const OptionSpec *entry = findOption(name);
        if (!entry) {
            refuse(QStringLiteral("opção desconhecida: %1.").arg(argument));
        } else if (!entry->valueName) {
            if (inlineValue)
                refuse(QStringLiteral("a opção --%1 não leva valor.").arg(name));
            raw.switches.insert(name);
        } else if (inlineValue || i + 1 < arguments.size()) {
            const QString given = inlineValue ? value : arguments[++i];
            if (name == QLatin1String("param"))
                raw.params.append(given);
            else
                raw.values.insert(name, given);
        } else {
            refuse(QStringLiteral("falta o valor de --%1.").arg(name));
        }
    }
    return raw;
}

// Checks --server and --database together; empty when they are acceptable.
QString readServer(const RawArguments &raw, ShellOptions &options)
{
    if (!raw.values.contains(QStringLiteral("server")))
        return QString();
    // The shell fills only the database of the server it runs itself.
    if (raw.switches.contains(QStringLiteral("seed-demo")))
        return QStringLiteral(
            "--seed-demo só vale sem --server; num servidor, use caleprodu-server "
            "--seed-demo.");
    const QString value = raw.values.value(QStringLiteral("server"));
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    options.serverHost = value.left(colon);
    options.serverPort = colon > 0 ? value.mid(colon + 1).toInt(&ok) : 0;
    if (!ok || options.serverHost.isEmpty() || options.serverPort <= 0 ||
        options.serverPort > 65535)
        return QStringLiteral("Servidor inválido: \"%1\". Use HOST:PORTA.").arg(value);
    // The client reads reference data straight from the server's database.
    if (!raw.values.contains(QStringLiteral("database")))
        return QStringLiteral("Com --server, informe também o banco de dados desse servidor com "
                              "--database.");
    return QString();
}

// Reads --report, --param and --output; empty when they are acceptable.
QString readReport(const RawArguments &raw, ShellOptions &options)
{
    options.report = raw.values.value(QStringLiteral("report"));
    options.reportParams = raw.params;
    options.output = raw.values.value(QStringLiteral("output"));
    if (options.report.isEmpty() && (!raw.params.isEmpty() || !options.output.isEmpty()))
        return QStringLiteral("--param e --output só valem com --report CODIGO.");
    if (!options.report.isEmpty() && options.output.isEmpty())
        return QStringLiteral("Com --report, informe o arquivo com --output.");
    for (const QString &param : raw.params) {
        if (param.indexOf(QLatin1Char('=')) <= 0)
            return QStringLiteral("Parâmetro inválido: \"%1\". Use NOME=VALOR.").arg(param);
    }
    return QString();
}

// Reads --periodicity and --horizon-days; empty when they are acceptable.
QString readOverview(const RawArguments &raw, ShellOptions &options)
{
    options.periodicity = raw.values.value(QStringLiteral("periodicity"), options.periodicity);
    const QString days = raw.values.value(QStringLiteral("horizon-days"));
    if (days.isEmpty())
        return QString();
    bool ok = false;
    options.horizonDays = days.toInt(&ok);
    if (!ok || options.horizonDays < 0 || options.horizonDays > 3660)
        return QStringLiteral("--horizon-days inválido: \"%1\". Use de 0 a 3660 dias. Veja "
                              "caleprodu --help.")
            .arg(days);
    return QString();
}

} // namespace

ShellOptions ParseShellOptions(const QStringList &arguments)
{
    ShellOptions options;
    const RawArguments raw = readArguments(arguments);
    // Asking for help is answered whatever else the line holds.
    if (raw.switches.contains(QStringLiteral("help"))) {
        options.help = true;
        return options;
    }
    options.version = raw.switches.contains(QStringLiteral("version"));
    options.error = raw.error;
    if (options.error.isEmpty())
        options.error = readServer(raw, options);
    if (!options.error.isEmpty()) {
        options.error += QStringLiteral(" Veja caleprodu --help.");
        return options;
    }
    options.token = raw.values.value(QStringLiteral("token"));
    options.databaseUrl = raw.values.value(QStringLiteral("database"));
    options.branch = raw.values.value(QStringLiteral("branch"));
    options.operatorName = raw.values.value(QStringLiteral("operator"));
    options.perBranch = raw.switches.contains(QStringLiteral("per-branch"));
    options.seedDemo = raw.switches.contains(QStringLiteral("seed-demo"));
    options.error = readOverview(raw, options);
    if (!options.error.isEmpty())
        return options;
    options.screenshot = raw.values.value(QStringLiteral("screenshot"));
    options.error = readReport(raw, options);
    if (!options.error.isEmpty())
        options.error += QStringLiteral(" Veja caleprodu --help.");
    return options;
}

QString ShellUsage()
{
    QStringList lines{
        QStringLiteral("Uso: caleprodu [opções]"),
        QString(),
        QStringLiteral("Abre o Calendário da Produção. Sem --server, inicia um servidor de "
                       "aplicação"),
        QStringLiteral("próprio; um banco que ele cria (o padrão, na primeira vez) recebe dados "
                       "de demonstração."),
        QString(),
        QStringLiteral("Opções:"),
    };
    QStringList heads;
    qsizetype width = 0;
    for (const OptionSpec &entry : kShellOptions) {
        QString head = QStringLiteral("--") + QLatin1String(entry.name);
        if (entry.name == QLatin1String("help"))
            head.prepend(QStringLiteral("-h, "));
        if (entry.valueName)
            head += QLatin1Char(' ') + QLatin1String(entry.valueName);
        width = std::max(width, head.size());
        heads.append(head);
    }
    for (qsizetype i = 0; i < heads.size(); ++i)
        lines.append(QStringLiteral("  %1  %2")
                         .arg(heads[i], -int(width))
                         .arg(QString::fromUtf8(kShellOptions[i].description)));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
