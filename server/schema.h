#pragma once

#include <QString>

namespace caleserver {

class Storage;

/// Creates every table and index that is missing, in one transaction.
bool createSchema(Storage &storage, QString *error);
/// Whether the calendar tables exist (a server refuses to start on an empty database).
bool schemaPresent(Storage &storage, QString *error);

} // namespace caleserver
