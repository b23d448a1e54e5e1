#pragma once

#include <string>

namespace caleserver {

class Storage;

// Creates every table and index that is missing, in one transaction; *created, when given, tells
// whether the database had none of the calendar tables before.
bool createSchema(Storage &storage, std::string *error, bool *created = nullptr);
// Whether the calendar tables exist (a server refuses to start on an empty database).
bool schemaPresent(Storage &storage, std::string *error);
// Creates the schema if absent; safe to run again and from several processes at once. *created,
// when given, tells whether this call found none of the calendar tables, that is, made the
// database.
bool initDatabase(const std::string &url, std::string *error, bool *created = nullptr);

} // namespace caleserver
