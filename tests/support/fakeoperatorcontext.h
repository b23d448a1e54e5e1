#pragma once

#include "data/operatorcontext.h"

#include <QDateTime>
#include <QHash>

// Test double of the operator context: branch, per-branch lock, processing dates and server
// address as the test sets them. Installs itself while it lives.
class FakeOperatorContext : public OperatorContext
{
public:
    FakeOperatorContext();
    ~FakeOperatorContext() override;
    FakeOperatorContext(const FakeOperatorContext &) = delete;
    FakeOperatorContext &operator=(const FakeOperatorContext &) = delete;

    QString FiliProc() const override { return branch; }
    // The date set for the branch, else processingDate, else the clock's today.
    QDate DataProc(const QString &code) const override;
    bool ModuFili() const override { return perBranch; }
    // Throws when failServerAddress is set, to make a screen's creation fail.
    QString WebURL() const override;
    int WebPort() const override { return port; }
    QString Token() const override { return token; }

    QString branch = QStringLiteral("0001");
    bool perBranch = false;
    QString host = QStringLiteral("127.0.0.1");
    int port = 0;
    QString token;
    bool failServerAddress = false;
    QDate processingDate;
    QHash<QString, QDate> processingDates;
};

// Test double of the workstation's clock. Installs itself while it lives.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime &now = QDateTime(QDate(2026, 3, 10), QTime(9, 0)));
    ~FakeClock() override;
    FakeClock(const FakeClock &) = delete;
    FakeClock &operator=(const FakeClock &) = delete;

    QDateTime Now() const override { return now; }

    QDateTime now;
};
