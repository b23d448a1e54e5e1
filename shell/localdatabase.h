#pragma once

#include <QString>

// Readies the database the shell serves itself (no --server): creates the schema when it is
// missing and fills the demo data only into a database this call created, or when seedDemo asks
// for it, so that a site's own branches, holidays and calendars never receive demo rows. False
// with the reason when the database cannot be readied.
bool PrepareLocalDatabase(const QString &databaseUrl, bool seedDemo, QString *error);
