#pragma once

#include "journal.h"

namespace caleserver {

// The production days per month of every calendar and year, one row per periodicity, year and
// branch in CALEPRODUCAOANO (a month column left null holds no day), and every calendar's first
// and last day in CALEPRODUCAOLIMITE, so that the overview reads a few rows per branch instead of
// a year's days of every branch.

// Stores the day counts of the months a write changed (after: each month's days as they are now)
// and the bounds of their calendars, in the write's transaction.
bool storeMonthCounts(Storage &storage, const MonthMasks &after);
// Counts every calendar's days again from CALEPRODUCAO: for a database whose days were written
// without the server (an upgrade, bulk loads).
bool recountYears(Storage &storage);

} // namespace caleserver
