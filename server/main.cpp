#include "caleprodu_version.h"
#include "caleserver.h"
#include "configfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "caleprodu-server: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Block the stop signals before any thread starts, so that only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("caleprodu-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALEPRODU_VERSION));

    // A configuration file gives defaults; the flags on the command line override them.
    std::vector<std::string> arguments(argv, argv + argc);
    const std::string config = caleserver::takeConfigOption(arguments);
    std::string configError;
    if (!config.empty() && !caleserver::withConfigDefaults(
                               arguments, config, {"listen", "database", "token", "threads"}, {},
                               &arguments, &configError))
        return fail(QString::fromStdString(configError));
    QStringList argumentList;
    for (const std::string &argument : arguments)
        argumentList << QString::fromStdString(argument);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Servidor de aplicação do calendário de produção."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(
        QStringLiteral("config"),
        QStringLiteral("Arquivo de configuração (chave = valor); as opções da linha de comando "
                       "prevalecem."),
        QStringLiteral("ARQUIVO"));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("Endereço e porta (padrão 127.0.0.1:8211)."),
                                    QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:8211"));
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("sqlite:CAMINHO ou postgresql://usuário@máquina:porta/banco."),
        QStringLiteral("URL"));
    const QCommandLineOption token(
        QStringLiteral("token"),
        QStringLiteral("Exige Authorization: Bearer TOKEN em cada chamada."),
        QStringLiteral("TOKEN"));
    const QCommandLineOption initDb(QStringLiteral("init-db"),
                                    QStringLiteral("Cria o esquema do banco."));
    const QCommandLineOption seed(QStringLiteral("seed-demo"),
                                  QStringLiteral("Preenche os dados de demonstração."));
    const QCommandLineOption threads(QStringLiteral("threads"),
                                     QStringLiteral("Threads de atendimento (padrão 8)."),
                                     QStringLiteral("N"), QStringLiteral("8"));
    parser.addOptions({configOption, listen, database, token, initDb, seed, threads});
    parser.process(argumentList);

    caleserver::ServerOptions options;
    options.databaseUrl =
        parser.isSet(database) ? parser.value(database) : caleserver::defaultDatabaseUrl();
    options.token = parser.value(token);

    const QString address = parser.value(listen);
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    options.port = colon > 0 ? address.mid(colon + 1).toInt(&portOk) : 0;
    if (!portOk || options.port < 0 || options.port > 65535)
        return fail(QStringLiteral("--listen inválido: \"%1\"; use ENDEREÇO:PORTA.").arg(address));
    options.listenHost = address.left(colon);
    if (options.listenHost.startsWith(QLatin1Char('[')) &&
        options.listenHost.endsWith(QLatin1Char(']')))
        options.listenHost = options.listenHost.mid(1, options.listenHost.size() - 2);

    bool threadsOk = false;
    options.threads = parser.value(threads).toInt(&threadsOk);
    if (!threadsOk || options.threads < 1 || options.threads > 1024)
        return fail(QStringLiteral("--threads inválido: \"%1\"; use um número de 1 a 1024.")
                        .arg(parser.value(threads)));

    QString error;
    if (parser.isSet(initDb) && !caleserver::initDatabase(options.databaseUrl, &error))
        return fail(error);
    if (parser.isSet(seed) && !caleserver::seedDemo(options.databaseUrl, &error))
        return fail(error);

    caleserver::Server server(options);
    if (!server.start(&error))
        return fail(error);

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}
