#include "storage/storage.h"

#include "logging.h"
#include "storage/postgresstorage.h"
#include "storage/sqlitestorage.h"

#include <random>
#include <thread>

namespace caleserver {

namespace {

constexpr int maxTries = 5;

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

std::string unavailable(const std::string &why)
{
    return "Banco de dados indisponível: " + why;
}

// A COMMIT sent on a connection that then broke or went silent may have been applied.
Outcome outcomeUnknown()
{
    return Outcome::failure(ErrorCode::StorageFailure,
                            "A conexão com o banco de dados caiu enquanto a gravação era "
                            "confirmada: não se sabe se ela foi gravada. Recarregue os dados e "
                            "confira antes de repetir a operação.");
}

} // namespace

std::string Param::toText() const
{
    switch (m_kind) {
    case Kind::Null:
        return {};
    case Kind::Text:
        return std::string(m_text);
    case Kind::Integer:
        return std::to_string(m_integer);
    }
    return {};
}

Rows::~Rows() = default;

std::unique_ptr<Storage> Storage::create(std::string_view url, std::string *error,
                                         StorageLimits limits)
{
    if (startsWithNoCase(url, "sqlite:")) {
        std::string_view path = url.substr(7);
        if (path.starts_with("//"))
            path.remove_prefix(2);
        if (path.empty()) {
            *error = "Endereço de banco inválido: informe o arquivo em sqlite:CAMINHO.";
            return nullptr;
        }
        return std::make_unique<SqliteStorage>(std::string(path), limits);
    }
    if (startsWithNoCase(url, "postgresql://") || startsWithNoCase(url, "postgres://")) {
        PostgresStorage::Address params;
        if (!PostgresStorage::parseUrl(url, &params)) {
            *error = "Endereço de banco inválido: informe o banco em "
                     "postgresql://usuário@máquina:porta/banco.";
            return nullptr;
        }
        return std::make_unique<PostgresStorage>(std::move(params), limits);
    }
    *error = "Endereço de banco não reconhecido: \"" + printable(url, 200) +
             "\". Use sqlite:CAMINHO ou postgresql://usuário@máquina:porta/banco.";
    return nullptr;
}

Storage::Storage(StorageLimits limits)
    : m_limits(limits)
{}

Storage::~Storage() = default;

bool Storage::open(std::string *error)
{
    if (isOpen())
        return true;
    // Statements of a connection that was lost go with it.
    close();
    if (!connect(error)) {
        close();
        return false;
    }
    return true;
}

bool Storage::isOpen() const
{
    return connected();
}

void Storage::close()
{
    // Statements belong to their connection: they go first.
    m_active.clear();
    m_prepared.clear();
    m_once.reset();
    disconnect();
}

void Storage::fail(std::string code, std::string text)
{
    m_errorCode = std::move(code);
    m_errorText = std::move(text);
}

Rows *Storage::run(Statement *statement, Params binds)
{
    m_active.push_back(statement);
    m_lastChanges = 0;
    if (!statement->run(binds))
        return nullptr;
    m_lastChanges = statement->changes();
    m_changed += m_lastChanges;
    return statement;
}

Rows *Storage::exec(const std::string &sql, Params binds)
{
    auto found = m_prepared.find(sql);
    if (found == m_prepared.end()) {
        m_lastSql = sql;
        std::unique_ptr<Statement> fresh = prepare(sql);
        if (!fresh)
            return nullptr;
        found = m_prepared.emplace(sql, std::move(fresh)).first;
    }
    Rows *rows = run(found->second.get(), binds);
    if (!rows)
        m_lastSql = sql;
    return rows;
}

Rows *Storage::execOnce(const std::string &sql, Params binds)
{
    std::erase(m_active, m_once.get());
    m_once.reset();
    m_lastSql = sql;
    m_once = prepareOnce(sql);
    if (!m_once)
        return nullptr;
    return run(m_once.get(), binds);
}

bool Storage::execDirect(const std::string &sql)
{
    m_lastSql = sql;
    return execText(sql);
}

bool Storage::control(const std::string &sql)
{
    // Where the engine can prepare BEGIN and COMMIT they are kept prepared like any statement:
    // parsing them again costs a noticeable share of a one-lookup call.
    if (keepsControlPrepared())
        return exec(sql) != nullptr;
    return execDirect(sql);
}

Outcome Storage::storageFailure() const
{
    return Outcome::failure(ErrorCode::StorageFailure,
                            "Falha no banco de dados; nada foi alterado. Tente novamente ou avise "
                            "o suporte. Detalhe: " +
                                printable(m_errorText, 500));
}

void Storage::markBulk()
{
    if (!m_bulk) {
        m_bulk = true;
        beginBulk();
    }
}

bool Storage::hasTable(const std::string &name, std::string *error)
{
    if (!open(error)) {
        *error = unavailable(*error);
        return false;
    }
    Rows *rows = exec(tableQuery(), {name});
    if (!rows) {
        *error = storageFailure().message;
        return false;
    }
    const bool found = rows->next();
    rows->finish();
    return found;
}

void Storage::pause(std::chrono::milliseconds time)
{
    std::this_thread::sleep_for(time);
}

void Storage::finishActive()
{
    for (Statement *statement : m_active)
        statement->finish();
    m_active.clear();
}

Outcome Storage::attempt(Mode mode, const std::function<Outcome()> &body, bool *committing)
{
    // One statement is a transaction of its own: sparing BEGIN and COMMIT spares two round trips
    // on every read.
    if (mode == Mode::Read) {
        Outcome outcome = body();
        finishActive();
        return outcome;
    }
    if (!control(beginStatement(mode)) || !checkBeforeWrite()) {
        finishActive();
        return storageFailure();
    }
    Outcome outcome = body();
    // A read left positioned keeps SQLite from committing.
    finishActive();
    if (!outcome.ok())
        return outcome;
    *committing = true;
    if (!control("COMMIT")) {
        finishActive();
        return storageFailure();
    }
    finishActive();
    return outcome;
}

Outcome Storage::transaction(Mode mode, const std::function<Outcome()> &body)
{
    thread_local std::mt19937 random{std::random_device{}()};
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitLimitMs());
    bool reopened = false;
    for (int attempt = 1;; ++attempt) {
        std::string openError;
        if (!open(&openError))
            return Outcome::failure(ErrorCode::StorageFailure, unavailable(openError));
        m_errorCode.clear();
        m_errorText.clear();
        m_changed = 0;
        m_bulk = false;
        beginCall(deadline);

        bool committing = false;
        Outcome outcome = this->attempt(mode, body, &committing);
        const bool committed = outcome.ok();
        const std::string errorCode = m_errorCode;
        const std::string errorText = m_errorText;
        if (!committed && mode == Mode::Write && connected())
            execText("ROLLBACK");
        if (m_bulk)
            endBulk();
        if (committed) {
            if (mode == Mode::Write)
                afterCommit(m_changed);
            return outcome;
        }
        if (outcome.code != ErrorCode::StorageFailure)
            return outcome;

        logLine("falha no banco (tentativa " + std::to_string(attempt) + "): " + errorText +
                " em " + m_lastSql);
        const bool lost = isBroken(errorCode) || !connected();
        if (lost)
            close();
        if (lost && committing)
            return outcomeUnknown();
        if (isBroken(errorCode)) {
            // Nothing of this call was committed, so it can run again on a new connection.
            if (!reopened) {
                reopened = true;
                continue;
            }
            return outcome;
        }
        if (!isTransient(errorCode))
            return outcome;
        if (attempt >= maxTries || std::chrono::steady_clock::now() >= deadline)
            return Outcome::failure(ErrorCode::StorageFailure,
                                    "O banco de dados está ocupado com outras gravações; nada foi "
                                    "alterado. Tente novamente.");
        std::uniform_int_distribution<int> wait(5, 20 * attempt + 5);
        this->pause(std::chrono::milliseconds(wait(random)));
    }
}

} // namespace caleserver
