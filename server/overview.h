#pragma once

#include "methods.h"

namespace caleserver {

// GetVisaoGeral(periodicidade, ano): one row per branch with its production days per month of the
// year, the year's total, the first and last stored day of the periodicity (any year), and the
// holidays that apply to it in the following year. One read for all branches.
Outcome getVisaoGeral(const StorageSource &storage, const boost::json::array &params);

} // namespace caleserver
