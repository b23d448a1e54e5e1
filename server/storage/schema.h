#pragma once

#include <string>

namespace caleserver {

class Storage;

// Creates every table and index that is missing, in one transaction.
bool createSchema(Storage &storage, std::string *error);
// Whether the calendar tables exist (a server refuses to start on an empty database).
bool schemaPresent(Storage &storage, std::string *error);
// Creates the schema if absent; safe to run again and from several processes at once.
bool initDatabase(const std::string &url, std::string *error);

} // namespace caleserver
