#include "data/clientsettings.h"

namespace {
int horizonDays = 90;
QString defaultPeriodicity = QStringLiteral("01");
} // namespace

int HorizonDays()
{
    return horizonDays;
}

void SetHorizonDays(int days)
{
    horizonDays = days;
}

QString DefaultPeriodicity()
{
    return defaultPeriodicity;
}

void SetDefaultPeriodicity(const QString &code)
{
    defaultPeriodicity = code;
}
