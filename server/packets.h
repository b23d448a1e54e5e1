#pragma once

#include "date.h"
#include "outcome.h"
#include "storage/storage.h"

#include <boost/json/value.hpp>

#include <string>
#include <vector>

namespace caleserver {

// A packet with these columns and no rows.
Outcome empty(const Fields &fields);
// What a call answers whose result is ignored: a packet with no fields and no rows.
Outcome ignored();

// Runs one read and answers its rows as a packet, each column converted by its field's type.
// The first leading.size() columns are not read but given: values the WHERE clause fixes, which
// the database would otherwise convert again on every row.
Outcome answerRows(Storage &storage, const Fields &fields, const std::string &sql,
                   const std::vector<Param> &binds, const std::vector<std::string> &leading = {});

// One production day that a change set inserts or deletes.
struct Change
{
    bool insert = false;
    std::string branch;
    std::string periodicity;
    Date date;
};

// Reads a change set of production days (a packet with "fields" and "changes"; an update is a
// delete and an insert) in its order; invalid params naming the first problem otherwise.
Outcome readChangeSet(const char *method, const boost::json::value &packet,
                      std::vector<Change> *changes);

} // namespace caleserver
