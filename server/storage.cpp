#include "storage.h"

#include "logging.h"
#include "postgresstorage.h"
#include "sqlitestorage.h"

#include <QDate>
#include <QDateTime>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <random>

namespace caleserver {

namespace {

constexpr int maxTries = 5;

QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("caleserver-%1").arg(++counter);
}

} // namespace

std::unique_ptr<Storage> Storage::create(const QString &url, QString *error)
{
    if (url.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        QString path = url.mid(7);
        if (path.startsWith(QLatin1String("//")))
            path = path.mid(2);
        if (path.isEmpty()) {
            *error =
                QStringLiteral("Endereço de banco inválido: informe o arquivo em sqlite:CAMINHO.");
            return nullptr;
        }
        return std::make_unique<SqliteStorage>(nextConnectionName(), path);
    }
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (parsed.isValid() &&
        (scheme == QLatin1String("postgresql") || scheme == QLatin1String("postgres"))) {
        const QString dbName = parsed.path().mid(1);
        if (dbName.isEmpty() || dbName.contains(QLatin1Char('/'))) {
            *error = QStringLiteral("Endereço de banco inválido: informe o banco em "
                                    "postgresql://usuário@máquina:porta/banco.");
            return nullptr;
        }
        PostgresStorage::Params params;
        params.host = parsed.host().isEmpty() ? QStringLiteral("localhost") : parsed.host();
        params.port = parsed.port(5432);
        params.user = parsed.userName();
        params.password = parsed.password();
        params.database = dbName;
        return std::make_unique<PostgresStorage>(nextConnectionName(), params);
    }
    *error = QStringLiteral("Endereço de banco não reconhecido: \"%1\". Use sqlite:CAMINHO ou "
                            "postgresql://usuário@máquina:porta/banco.")
                 .arg(url);
    return nullptr;
}

Storage::Storage(QString connectionName)
    : m_connectionName(std::move(connectionName))
{}

Storage::~Storage()
{
    close();
}

bool Storage::open(QString *error)
{
    if (isOpen())
        return true;
    if (!configure(m_db, error)) {
        close();
        return false;
    }
    return true;
}

bool Storage::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
}

void Storage::close()
{
    qDeleteAll(m_prepared);
    m_prepared.clear();
    m_once.reset();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

QSqlDatabase Storage::database() const
{
    return m_db;
}

QSqlQuery *Storage::run(QSqlQuery *query, const QVariantList &binds)
{
    // A kept statement keeps its bound values between runs, and Qt registers a positional bind
    // anew on every call: bind again only what changed.
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant &value = binds.at(i);
        const QVariant bound = query->boundValue(i);
        if (bound.typeId() != value.typeId() || bound.isNull() != value.isNull() || bound != value)
            query->bindValue(i, value);
    }
    if (!query->exec()) {
        m_lastError = query->lastError();
        m_lastSql = query->lastQuery();
        return nullptr;
    }
    return query;
}

QSqlQuery *Storage::exec(const QString &sql, const QVariantList &binds)
{
    QSqlQuery *query = m_prepared.value(sql);
    if (!query) {
        auto fresh = std::make_unique<QSqlQuery>(m_db);
        fresh->setForwardOnly(true);
        if (!fresh->prepare(sql)) {
            m_lastError = fresh->lastError();
            m_lastSql = sql;
            return nullptr;
        }
        query = fresh.release();
        m_prepared.insert(sql, query);
    }
    return run(query, binds);
}

QSqlQuery *Storage::execOnce(const QString &sql, const QVariantList &binds)
{
    m_once = std::make_unique<QSqlQuery>(m_db);
    m_once->setForwardOnly(true);
    if (!m_once->prepare(sql)) {
        m_lastError = m_once->lastError();
        m_lastSql = sql;
        return nullptr;
    }
    return run(m_once.get(), binds);
}

Outcome Storage::storageFailure() const
{
    return Outcome::failure(ErrorCode::StorageFailure,
                            QStringLiteral("Falha no banco de dados; nada foi alterado. Tente "
                                           "novamente ou avise o suporte. Detalhe: %1")
                                .arg(m_lastError.text().trimmed()));
}

void Storage::markBulk()
{
    if (!m_bulk) {
        m_bulk = true;
        beginBulk();
    }
}

QString Storage::isoDate(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate)
        return isoText(value.toDate());
    if (value.typeId() == QMetaType::QDateTime)
        return isoText(value.toDateTime().date());
    return value.toString().left(10);
}

// Dates cross every call as ISO text; QDate's own conversions go through its general format
// parser and printf, which cost more than the lookup the date is for.
QString Storage::isoText(QDate date)
{
    const int year = date.year();
    if (!date.isValid() || year < 1 || year > 9999)
        return {};
    const int parts[] = {year / 1000,
                         year / 100 % 10,
                         year / 10 % 10,
                         year % 10,
                         -1,
                         date.month() / 10,
                         date.month() % 10,
                         -1,
                         date.day() / 10,
                         date.day() % 10};
    QString text(10, Qt::Uninitialized);
    QChar *out = text.data();
    for (int digit : parts)
        *out++ = digit < 0 ? QLatin1Char('-') : QLatin1Char(char('0' + digit));
    return text;
}

QDate Storage::parseIso(QStringView text)
{
    if (text.size() != 10 || text[4] != QLatin1Char('-') || text[7] != QLatin1Char('-'))
        return {};
    const auto number = [text](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (year < 1 || month < 0 || day < 0)
        return {};
    return QDate(year, month, day); // invalid when the day does not exist
}

bool Storage::execDirect(const QString &sql)
{
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    m_lastError = query.lastError();
    m_lastSql = sql;
    return false;
}

bool Storage::execControl(const QString &sql)
{
    // Where the driver can prepare BEGIN and COMMIT they are kept prepared like any statement:
    // parsing them again costs a noticeable share of a one-lookup call.
    if (!keepsControlPrepared())
        return execDirect(sql);
    return exec(sql) != nullptr;
}

Outcome Storage::transaction(Mode mode, const std::function<Outcome()> &body)
{
    thread_local std::mt19937 random{std::random_device{}()};
    for (int attempt = 1;; ++attempt) {
        QString openError;
        if (!open(&openError))
            return Outcome::failure(
                ErrorCode::StorageFailure,
                QStringLiteral("Banco de dados indisponível: %1").arg(openError));
        m_lastError = QSqlError();
        m_bulk = false;

        Outcome outcome;
        bool committed = false;
        // One statement is a transaction of its own: sparing BEGIN and COMMIT spares two round
        // trips to a database server on every read.
        const bool single = mode == Mode::Read && readsWithoutTransaction();
        if (single) {
            outcome = body();
            for (QSqlQuery *query : std::as_const(m_prepared))
                query->finish();
            if (m_once)
                m_once->finish();
            committed = outcome.ok();
        } else if (!execControl(beginStatement(mode))) {
            outcome = storageFailure();
        } else {
            outcome = body();
            if (outcome.ok()) {
                // A read left positioned keeps SQLite from committing.
                for (QSqlQuery *query : std::as_const(m_prepared))
                    query->finish();
                if (m_once)
                    m_once->finish();
                committed = execControl(QStringLiteral("COMMIT"));
                if (!committed)
                    outcome = storageFailure();
            }
        }
        const QSqlError failure = m_lastError;
        if (!committed && !single) {
            QSqlQuery rollback(m_db);
            rollback.exec(QStringLiteral("ROLLBACK"));
        }
        if (m_bulk)
            endBulk(committed);
        if (committed)
            return outcome;
        if (outcome.code != ErrorCode::StorageFailure)
            return outcome;

        const bool transient = failure.isValid() && isTransient(failure);
        qCWarning(lcServer).noquote() << "falha no banco (tentativa" << attempt
                                      << "):" << failure.text() << "em" << m_lastSql.simplified();
        if (!transient) {
            // A broken connection is reopened by the next call instead of failing forever.
            QSqlQuery ping(m_db);
            if (!ping.exec(QStringLiteral("SELECT 1")))
                close();
            return outcome;
        }
        if (attempt >= maxTries)
            return Outcome::failure(
                ErrorCode::StorageFailure,
                QStringLiteral("O banco de dados está ocupado com outras "
                               "gravações; nada foi alterado. Tente novamente."));
        std::uniform_int_distribution<int> pause(5, 20 * attempt + 5);
        QThread::msleep(pause(random));
    }
}

} // namespace caleserver
