#include "data/operatorcontext.h"

#include "core/exceptions.h"
#include "data/dtmdbgeral.h"
#include "data/hostfunctions.h"

#include <QSqlError>
#include <QSqlQuery>

#include <pwd.h>
#include <unistd.h>

namespace {

class SystemClock : public Clock
{
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

OperatorContext *g_context = nullptr;
Clock *g_clock = nullptr;

QSqlQuery runQuery(const QString &sql, const QVariantList &values)
{
    QSqlQuery query;
    QString reason;
    const bool read = dtmDBGeral::Read(
        query,
        [&](QSqlQuery &q) {
            q.setForwardOnly(true);
            if (!q.prepare(sql))
                return false;
            for (const QVariant &v : values)
                q.addBindValue(v);
            return q.exec();
        },
        &reason);
    if (!read)
        throw EDatabaseError(QStringLiteral("Erro ao consultar o banco de dados: %1").arg(reason));
    return query;
}

// The shell's context reads the branch and its processing date from the shared connection; without
// it there is no answer to give, and an empty branch or today's date would be taken as real.
void requireConnection()
{
    if (dtmDBGeral::Url().isEmpty())
        throw EDatabaseError(QStringLiteral(
            "Banco de dados não conectado: a filial e a data de processamento do operador não "
            "podem ser lidas."));
}

} // namespace

OperatorContext::~OperatorContext() = default;
Clock::~Clock() = default;

void DefaultOperatorContext::SetBranch(const QString &branch)
{
    m_branch = Ajusta(branch.trimmed(), 4);
}

QString DefaultOperatorContext::FiliProc() const
{
    if (!m_branch.isEmpty())
        return m_branch;
    // A connection that lost its session is still named: the read below opens it again.
    requireConnection();
    QSqlQuery query = runQuery(QStringLiteral("SELECT MIN(CDFILIAL) FROM FILIAL"), {});
    return query.next() ? query.value(0).toString() : QString();
}

QDate DefaultOperatorContext::DataProc(const QString &branch) const
{
    requireConnection();
    QSqlQuery query = runQuery(QStringLiteral("SELECT DTPROCESSA FROM FILIAL WHERE CDFILIAL = ?"),
                               {Ajusta(branch.trimmed(), 4)});
    if (query.next()) {
        const QVariant v = query.value(0);
        const QDate d = v.typeId() == QMetaType::QDate
                            ? v.toDate()
                            : QDate::fromString(v.toString().left(10), Qt::ISODate);
        if (d.isValid())
            return d;
    }
    return ::Date();
}

DefaultOperatorContext &ShellOperatorContext()
{
    static DefaultOperatorContext context;
    return context;
}

void SetOperatorContext(OperatorContext *context)
{
    g_context = context;
}

void SetClock(Clock *clock)
{
    g_clock = clock;
}

OperatorContext &CurrentOperatorContext()
{
    return g_context ? *g_context : ShellOperatorContext();
}

QString FiliProc()
{
    return CurrentOperatorContext().FiliProc();
}

QDate DataProc(const QString &branch)
{
    return CurrentOperatorContext().DataProc(branch);
}

bool ModuFili()
{
    return CurrentOperatorContext().ModuFili();
}

QString WebURL()
{
    return CurrentOperatorContext().WebURL();
}

int WebPort()
{
    return CurrentOperatorContext().WebPort();
}

QString WebToken()
{
    return CurrentOperatorContext().Token();
}

QString OperatorName()
{
    return CurrentOperatorContext().OperatorName();
}

QString SystemLogin()
{
    if (const passwd *user = getpwuid(geteuid()); user && user->pw_name)
        return QString::fromLocal8Bit(user->pw_name);
    return qEnvironmentVariable("USER");
}

QString OperatorContext::OperatorName() const
{
    return SystemLogin();
}

QString DefaultOperatorContext::OperatorName() const
{
    return m_operatorName.isEmpty() ? SystemLogin() : m_operatorName;
}

QDateTime Now()
{
    static const SystemClock system;
    return (g_clock ? static_cast<const Clock &>(*g_clock) : system).Now();
}

QDate Date()
{
    return Now().date();
}
