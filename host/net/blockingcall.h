#pragma once

#include "calehost_export.h"

#include <functional>

namespace host {

// Runs a blocking exchange off the GUI thread while the GUI thread waits in a local event loop:
// timers and animations keep running, the operator's input is dropped, and the caller's code
// stays synchronous. Off the GUI thread (or without an application) the work runs in place.
CALEHOST_EXPORT void RunBlockingCall(const std::function<void()> &work);

} // namespace host
