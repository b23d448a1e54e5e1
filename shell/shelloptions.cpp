#include "shelloptions.h"

#include <QCommandLineParser>

namespace {

struct ReportOptions
{
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("Gera o relatório deste código sem abrir janelas."),
                              QStringLiteral("codigo")};
    QCommandLineOption param{QStringLiteral("param"),
                             QStringLiteral("Parâmetro do relatório (NOME=VALOR; datas como "
                                            "AAAA-MM-DD); repita para cada um."),
                             QStringLiteral("nome=valor")};
    QCommandLineOption output{QStringLiteral("output"),
                              QStringLiteral("Arquivo do relatório (.pdf ou .csv)."),
                              QStringLiteral("arquivo")};
};

ReportOptions AddReportOptions(QCommandLineParser &parser)
{
    ReportOptions report;
    parser.addOptions({report.report, report.param, report.output});
    return report;
}

void ReadReportOptions(const QCommandLineParser &parser, const ReportOptions &report,
                       ShellOptions &options)
{
    if (!options.error.isEmpty())
        return;
    options.report = parser.value(report.report);
    options.reportParams = parser.values(report.param);
    options.output = parser.value(report.output);
    if (options.report.isEmpty() && (parser.isSet(report.param) || parser.isSet(report.output))) {
        options.error = QStringLiteral("--param e --output só valem com --report CODIGO.");
        return;
    }
    if (!options.report.isEmpty() && options.output.isEmpty()) {
        options.error = QStringLiteral("Com --report, informe o arquivo com --output.");
        return;
    }
    for (const QString &param : std::as_const(options.reportParams)) {
        if (param.indexOf(QLatin1Char('=')) <= 0) {
            options.error =
                QStringLiteral("Parâmetro inválido: \"%1\". Use NOME=VALOR.").arg(param);
            return;
        }
    }
}

} // namespace

ShellOptions ParseShellOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Calendário da Produção"));
    parser.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Servidor de aplicação (HOST:PORTA)."),
                                    QStringLiteral("host:porta"));
    const QCommandLineOption token(QStringLiteral("token"),
                                   QStringLiteral("Chave de acesso ao servidor de aplicação."),
                                   QStringLiteral("chave"));
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("Banco de dados (sqlite:ARQUIVO ou postgresql://usuario@host:porta/banco)."),
        QStringLiteral("url"));
    const QCommandLineOption branch(QStringLiteral("branch"), QStringLiteral("Filial do operador."),
                                    QStringLiteral("codigo"));
    const QCommandLineOption perBranch(QStringLiteral("per-branch"),
                                       QStringLiteral("Trava a filial do operador."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Grava uma imagem PNG das telas abertas e termina."),
        QStringLiteral("arquivo"));
    const QCommandLineOption platform(QStringLiteral("platform"),
                                      QStringLiteral("Plataforma gráfica do Qt."),
                                      QStringLiteral("nome"));
    parser.addOptions({server, token, database, branch, perBranch, screenshot, platform});
    const ReportOptions report = AddReportOptions(parser);

    ShellOptions options;
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        options.error = parser.helpText();
        return options;
    }
    if (parser.isSet(server)) {
        const QString value = parser.value(server);
        const int colon = value.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        options.serverHost = value.left(colon);
        options.serverPort = colon > 0 ? value.mid(colon + 1).toInt(&ok) : 0;
        if (!ok || options.serverHost.isEmpty() || options.serverPort <= 0 ||
            options.serverPort > 65535) {
            options.error = QStringLiteral("Servidor inválido: \"%1\". Use HOST:PORTA.").arg(value);
            return options;
        }
        // The client reads reference data straight from the server's database.
        if (!parser.isSet(database)) {
            options.error = QStringLiteral("Com --server, informe também o banco de dados desse "
                                           "servidor com --database.");
            return options;
        }
    }
    options.token = parser.value(token);
    options.databaseUrl = parser.value(database);
    options.branch = parser.value(branch);
    options.perBranch = parser.isSet(perBranch);
    options.screenshot = parser.value(screenshot);
    ReadReportOptions(parser, report, options);
    return options;
}
