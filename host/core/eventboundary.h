#pragma once

#include "calehost_export.h"

#include <functional>

class QObject;

namespace host {

// Runs a handler that a Qt signal or event started, so that no exception reaches Qt's event loop:
// an EAbort ends it silently, any other failure is shown in an error box. A handler reached from
// inside another guarded handler by a direct call (the program setting a text, say) is not caught
// here: its exception goes on to that caller. Returns false when the handler failed.
CALEHOST_EXPORT bool guard(QObject *context, const std::function<void()> &handler);

} // namespace host
