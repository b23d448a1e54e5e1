#pragma once

#include "calehost_export.h"

#include <QDate>
#include <QDateTime>
#include <QString>

// What the host knows about the operator's session: branch, processing dates, server address.
class CALEHOST_EXPORT OperatorContext
{
public:
    virtual ~OperatorContext();
    virtual QString FiliProc() const = 0;
    virtual QDate DataProc(const QString &branch) const = 0;
    virtual bool ModuFili() const = 0;
    virtual QString WebURL() const = 0;
    virtual int WebPort() const = 0;
    virtual QString Token() const = 0;
    // The name the server's journal records for this operator's changes: the system login.
    virtual QString OperatorName() const;
};

// The workstation's clock.
class CALEHOST_EXPORT Clock
{
public:
    virtual ~Clock();
    virtual QDateTime Now() const = 0;
};

// The context the shell configures: branch, per-branch lock, application server, token; the
// branch defaults to the lowest one and processing dates come from FILIAL through dtmDBGeral.
class CALEHOST_EXPORT DefaultOperatorContext : public OperatorContext
{
public:
    // The operator's branch, completed to its four digits; empty: the lowest branch.
    void SetBranch(const QString &branch);
    void SetPerBranch(bool perBranch) { m_perBranch = perBranch; }
    void SetServer(const QString &host, int port)
    {
        m_host = host;
        m_port = port;
    }
    void SetToken(const QString &token) { m_token = token; }
    // The name the journal records; empty: the system login.
    void SetOperatorName(const QString &name) { m_operatorName = name; }

    QString FiliProc() const override;
    QDate DataProc(const QString &branch) const override;
    bool ModuFili() const override { return m_perBranch; }
    QString WebURL() const override { return m_host; }
    int WebPort() const override { return m_port; }
    QString Token() const override { return m_token; }
    QString OperatorName() const override;

private:
    QString m_branch;
    bool m_perBranch = false;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = 8211;
    QString m_token;
    QString m_operatorName;
};

// The process-wide default context, for the shell to configure.
CALEHOST_EXPORT DefaultOperatorContext &ShellOperatorContext();

// Installs a context (not owned); nullptr restores the shell's default.
CALEHOST_EXPORT void SetOperatorContext(OperatorContext *context);
// Installs a clock (not owned); nullptr restores the system clock.
CALEHOST_EXPORT void SetClock(Clock *clock);
// The context in force.
CALEHOST_EXPORT OperatorContext &CurrentOperatorContext();

// The operator's branch code.
CALEHOST_EXPORT QString FiliProc();
// The processing date of a branch; its DTPROCESSA, or today when null or the branch is unknown.
CALEHOST_EXPORT QDate DataProc(const QString &branch);
// True when the operator is locked to the branch of FiliProc.
CALEHOST_EXPORT bool ModuFili();
// Host name of the application server.
CALEHOST_EXPORT QString WebURL();
// Port of the application server.
CALEHOST_EXPORT int WebPort();
// Bearer token for the application server; empty when none.
CALEHOST_EXPORT QString WebToken();
// The operator's name for the server's journal of changes.
CALEHOST_EXPORT QString OperatorName();
// The login of the user running this process.
CALEHOST_EXPORT QString SystemLogin();
// The present moment of the clock in force.
CALEHOST_EXPORT QDateTime Now();
// Today by the clock in force.
CALEHOST_EXPORT QDate Date();
