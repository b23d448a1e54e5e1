#pragma once

#include "storage.h"

#include <QJsonArray>
#include <QString>

namespace caleserver {

/// Runs one method of the calendar's remote data module with its positional parameters. Unknown
/// names give -32601; every other failure is an Outcome too, never an exception.
Outcome callMethod(Storage &storage, const QString &method, const QJsonArray &params);

} // namespace caleserver
