#pragma once

#include "calehost_export.h"

#include <QString>

// Settings of the client's configuration that screens read; the shell sets them at start.

// Days before a calendar's last day from which the overview warns ("horizon-days", default 90).
CALEHOST_EXPORT int HorizonDays();
CALEHOST_EXPORT void SetHorizonDays(int days);
// The periodicity the start-up warning looks at ("periodicity", default "01").
CALEHOST_EXPORT QString DefaultPeriodicity();
CALEHOST_EXPORT void SetDefaultPeriodicity(const QString &code);
