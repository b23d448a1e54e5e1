#include "caleprodu_version.h"
#include "configfile.h"
#include "demodata.h"
#include "server.h"
#include "storage/schema.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <pthread.h>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

int fail(const std::string &message)
{
    std::fprintf(stderr, "caleprodu-server: %s\n", message.c_str());
    return 1;
}

const char *const usage =
    "Uso: caleprodu-server [opções]\n"
    "Servidor de aplicação do calendário de produção.\n\n"
    "Opções:\n"
    "  -h, --help               Mostra esta ajuda.\n"
    "  --version                Mostra a versão.\n"
    "  --config <ARQUIVO>       Arquivo de configuração (chave = valor: listen, database,\n"
    "                           token, threads, loops, statement-timeout, journal-days); as\n"
    "                           opções da linha de comando prevalecem.\n"
    "  --listen <ADDR:PORT>     Endereço e porta (padrão 127.0.0.1:8211).\n"
    "  --database <URL>         sqlite:CAMINHO ou postgresql://usuário@máquina:porta/banco.\n"
    "  --token <TOKEN>          Exige Authorization: Bearer TOKEN em cada chamada.\n"
    "  --init-db                Cria o esquema do banco, ou acrescenta o que falta a um banco\n"
    "                           de uma versão anterior, sem perder dados.\n"
    "  --seed-demo              Preenche os dados de demonstração.\n"
    "  --threads <N>            SQLite: trabalhadores que gravam, cada um com sua conexão;\n"
    "                           PostgreSQL: conexões de gravação, repartidas entre os laços\n"
    "                           de eventos, que têm ainda duas de leitura cada (padrão 8).\n"
    "  --loops <N>              Laços de eventos, que leem e respondem as requisições e\n"
    "                           fazem as leituras (padrão: um por núcleo).\n"
    "  --statement-timeout <S>  Espera máxima, em segundos, por um comando do PostgreSQL;\n"
    "                           depois a chamada falha e nada é alterado (padrão 30).\n"
    "  --journal-days <D>       Dias que uma alteração fica no histórico (padrão 400).\n\n"
    "Além do JSON-RPC, o servidor responde à interface somente leitura /api/v1 (dias de\n"
    "produção, contagem, soma de dias, feeds iCalendar e CSV, com as mesmas regras de token):\n"
    "veja docs/api.md (/usr/share/doc/caleprodu-server/api.md no pacote).\n";

// The options that take a value, named without their "--"; the configuration file's keys too.
const std::set<std::string> valueOptions{"listen", "database",          "token",       "threads",
                                         "loops",  "statement-timeout", "journal-days"};

// The command line: options with a value (--name VALUE or --name=VALUE) and flags.
struct CommandLine
{
    std::map<std::string, std::string> values;
    bool initDb = false;
    bool seedDemo = false;
    bool help = false;
    bool version = false;

    std::optional<std::string> value(const std::string &name) const
    {
        const auto found = values.find(name);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
};

bool parse(const std::vector<std::string> &arguments, CommandLine *line, std::string *error)
{
    const size_t argc = arguments.size();
    for (size_t i = 1; i < argc; ++i) {
        std::string_view arg = arguments[i];
        if (arg == "-h" || arg == "--help") {
            line->help = true;
            continue;
        }
        if (arg == "--version") {
            line->version = true;
            continue;
        }
        if (arg == "--init-db" || arg == "--seed-demo") {
            (arg == "--init-db" ? line->initDb : line->seedDemo) = true;
            continue;
        }
        std::string name(arg);
        std::optional<std::string> value;
        if (const size_t equals = arg.find('='); equals != std::string_view::npos) {
            name = std::string(arg.substr(0, equals));
            value = std::string(arg.substr(equals + 1));
        }
        if (!name.starts_with("--") || !valueOptions.contains(name.substr(2))) {
            *error = "opção desconhecida: " + std::string(arg) + " (veja --help).";
            return false;
        }
        if (!value) {
            if (i + 1 >= argc) {
                *error = "falta o valor de " + name + ".";
                return false;
            }
            value = arguments[++i];
        }
        line->values[name.substr(2)] = *value;
    }
    return true;
}

bool toInt(std::string_view text, int *value)
{
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return problem == std::errc() && end == text.data() + text.size() && !text.empty();
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

    // A configuration file gives defaults; the flags on the command line override them.
    std::vector<std::string> arguments(argv, argv + argc);
    const std::string config = caleserver::takeConfigOption(arguments);
    std::string error;
    if (!config.empty() &&
        !caleserver::withConfigDefaults(arguments, config, valueOptions, {}, &arguments, &error))
        return fail(error);
    CommandLine line;
    if (!parse(arguments, &line, &error))
        return fail(error);
    if (line.help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (line.version) {
        std::printf("caleprodu-server %s\n", CALEPRODU_VERSION);
        return 0;
    }

    caleserver::ServerOptions options;
    options.databaseUrl = line.value("database").value_or(caleserver::defaultDatabaseUrl());
    options.token = line.value("token").value_or("");

    const std::string address = line.value("listen").value_or("127.0.0.1:8211");
    const size_t colon = address.rfind(':');
    int port = -1;
    if (colon == std::string::npos || colon == 0 ||
        !toInt(std::string_view(address).substr(colon + 1), &port) || port < 0 || port > 65535)
        return fail("--listen inválido: \"" + address + "\"; use ENDEREÇO:PORTA.");
    options.port = port;
    options.listenHost = address.substr(0, colon);
    if (options.listenHost.size() > 1 && options.listenHost.front() == '[' &&
        options.listenHost.back() == ']')
        options.listenHost = options.listenHost.substr(1, options.listenHost.size() - 2);

    const std::string threads = line.value("threads").value_or("8");
    if (!toInt(threads, &options.threads) || options.threads < 1 || options.threads > 1024)
        return fail("--threads inválido: \"" + threads + "\"; use um número de 1 a 1024.");

    if (const auto loops = line.value("loops");
        loops && (!toInt(*loops, &options.loops) || options.loops < 1 || options.loops > 256))
        return fail("--loops inválido: \"" + *loops + "\"; use um número de 1 a 256.");

    const std::string timeout = line.value("statement-timeout").value_or("30");
    int seconds = 0;
    if (!toInt(timeout, &seconds) || seconds < 1 || seconds > 3600)
        return fail("--statement-timeout inválido: \"" + timeout +
                    "\"; use um número de segundos de 1 a 3600.");
    options.statementTimeoutMs = seconds * 1000;

    const std::string journalDays = line.value("journal-days").value_or("400");
    if (!toInt(journalDays, &options.journalDays) || options.journalDays < 1 ||
        options.journalDays > 36600)
        return fail("--journal-days inválido: \"" + journalDays +
                    "\"; use um número de dias de 1 a 36600.");

    if (line.initDb && !caleserver::initDatabase(options.databaseUrl, &error))
        return fail(error);
    if (line.seedDemo && !caleserver::seedDemo(options.databaseUrl, &error))
        return fail(error);

    caleserver::Server server(options);
    if (!server.start(&error))
        return fail(error);

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}
