#pragma once

#include "package/moduleregistry.h"

namespace Pkg_qmr07700 {

// The host's record of this package: its file and where its resource bundle is mapped.
extern host::ModuleRecord Module;

// Initialisation counts of the units, in the order of the initialisation table.
const int *UnitCounters();

} // namespace Pkg_qmr07700
