#include "data/dtmdbgeral.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

QString g_url;

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// Every session of the shell reads only; a write is refused by the database itself.
bool makeReadOnly(QSqlDatabase &db, QString *reason)
{
    if (db.driverName() != QLatin1String("QPSQL"))
        return true;
    QSqlQuery set(db);
    if (set.exec(QStringLiteral("SET SESSION default_transaction_read_only = on")))
        return true;
    *reason = set.lastError().text();
    return false;
}

// False when the session no longer answers the cheapest statement.
bool sessionAlive(const QSqlDatabase &db)
{
    QSqlQuery probe(db);
    return probe.exec(QStringLiteral("SELECT 1"));
}

// Opens the kept connection again with the settings it was first opened with.
bool reopen(QString *error)
{
    QSqlDatabase db = dtmDBGeral::Database();
    if (!db.isValid() || g_url.isEmpty())
        return fail(error, QStringLiteral("Banco de dados não conectado."));
    db.close();
    QString reason;
    if (!db.open())
        reason = db.lastError().text();
    else if (!makeReadOnly(db, &reason))
        db.close();
    if (!db.isOpen())
        return fail(error,
                    QStringLiteral("Conexão com o banco de dados perdida e não restabelecida: %1")
                        .arg(reason));
    return true;
}

} // namespace

bool dtmDBGeral::Open(const QString &url, QString *error)
{
    Close();
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    QSqlDatabase db;
    if (url.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        const QString path = url.mid(int(qstrlen("sqlite:")));
        if (path.isEmpty())
            return fail(error, QStringLiteral("URL de banco sem caminho: %1").arg(url));
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ConnectionName);
        db.setDatabaseName(path);
        // The file must exist already: read-only opening never creates one.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    } else if (scheme == QLatin1String("postgresql") || scheme == QLatin1String("postgres")) {
        const QString name = parsed.path().mid(1);
        if (parsed.host().isEmpty() || name.isEmpty())
            return fail(error, QStringLiteral("URL de banco incompleta: %1").arg(url));
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), ConnectionName);
        db.setHostName(parsed.host());
        db.setPort(parsed.port(5432));
        db.setDatabaseName(name);
        db.setUserName(parsed.userName());
        db.setPassword(parsed.password());
    } else {
        return fail(error, QStringLiteral("URL de banco não reconhecida: %1").arg(url));
    }
    if (!db.open()) {
        const QString reason = db.lastError().text();
        db = QSqlDatabase();
        Close();
        return fail(error,
                    QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(reason));
    }
    QString reason;
    if (!makeReadOnly(db, &reason)) {
        db = QSqlDatabase();
        Close();
        return fail(error,
                    QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(reason));
    }
    g_url = url;
    return true;
}

void dtmDBGeral::Close()
{
    g_url.clear();
    if (QSqlDatabase::contains(ConnectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(ConnectionName);
    }
}

bool dtmDBGeral::IsOpen()
{
    return QSqlDatabase::contains(ConnectionName) &&
           QSqlDatabase::database(ConnectionName, false).isOpen();
}

QSqlDatabase dtmDBGeral::Database()
{
    return QSqlDatabase::database(ConnectionName, false);
}

QString dtmDBGeral::Url()
{
    return g_url;
}

bool dtmDBGeral::Read(QSqlQuery &query, const std::function<bool(QSqlQuery &)> &run, QString *error)
{
    {
        const QSqlDatabase db = Database();
        if (db.isOpen()) {
            query = QSqlQuery(db);
            if (run(query))
                return true;
            // The driver may already have marked a lost session closed.
            if (db.isOpen() && sessionAlive(db))
                return fail(error, query.lastError().text());
        }
    }
    query = QSqlQuery();
    if (!reopen(error))
        return false;
    query = QSqlQuery(Database());
    if (run(query))
        return true;
    return fail(error, query.lastError().text());
}
