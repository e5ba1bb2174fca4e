// The history's tables, one migration per schema version. A database keeps
// its version in PRAGMA user_version: 0 is a new file, a lower version than
// kSchemaVersion is migrated (after a backup copy), a higher one refused.
#pragma once

#include <string>

#include "history/sqlite_statement.h"

namespace spelkub::history::detail {

inline constexpr int kSchemaVersion = 2;

// Brings the open database up to kSchemaVersion. Returns the path of the
// backup copy it made of an older database before migrating it, or empty.
std::string Migrate(Connection& connection);

// The database's version.
int SchemaVersion(Connection& connection);

}  // namespace spelkub::history::detail
