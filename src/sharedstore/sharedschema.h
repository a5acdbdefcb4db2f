#pragma once

#include "sharedstore/pgconnection.h"
#include "storage/status.h"

namespace vellumar::SharedSchema {

// The tables of the shared books, made and brought up to date by the program itself. Each
// version's changes run as one transaction together with the new version number, so a
// database is always at one version or the next, never between. Two counters starting on a
// new database at once take turns.
//
//   1  the books: holders in list order with unique names, their ledgers row by row, the
//      administrator password
//   2  working together: who has a ledger open, who saved it last
inline constexpr int CurrentVersion = 2;

// The version the database is at; 0 for a database without the program's tables.
Result<int> version(PgConnection& connection);

// Brings the database up to the given version (the program's own by default). A database of
// a newer version than the program knows is refused, and so is one whose text encoding is
// not UTF-8, which could not hold every character of the books.
Status prepare(PgConnection& connection, int targetVersion = CurrentVersion);

} // namespace vellumar::SharedSchema
