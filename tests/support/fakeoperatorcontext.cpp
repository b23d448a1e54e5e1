#include "fakeoperatorcontext.h"

#include "core/exceptions.h"

FakeOperatorContext::FakeOperatorContext()
{
    SetOperatorContext(this);
}

FakeOperatorContext::~FakeOperatorContext()
{
    SetOperatorContext(nullptr);
}

QDate FakeOperatorContext::DataProc(const QString &code) const
{
    if (processingDates.contains(code))
        return processingDates.value(code);
    return processingDate.isValid() ? processingDate : ::Date();
}

QString FakeOperatorContext::WebURL() const
{
    if (failServerAddress)
        throw Exception(QStringLiteral("Endereço do servidor de aplicação não configurado."));
    return host;
}

FakeClock::FakeClock(const QDateTime &now)
    : now(now)
{
    SetClock(this);
}

FakeClock::~FakeClock()
{
    SetClock(nullptr);
}
