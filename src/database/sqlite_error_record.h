// The one record a failed SQLite call leaves in the log.
#pragma once

#include <cstdint>

struct sqlite3;

namespace KSDSOLD {

// Writes "SQLITE ERROR: <result>\n<the connection's message>" in the "Cache" category.
//
// `function` and `line` are fixed texts of each record (for example "KSDSOLD::Database::Open"
// and 441), the same on every build and platform, so that whoever reads the engine's log can
// tell the failing step by them. They are not this source's __func__ or __LINE__, which move
// with every edit: each call site passes its own pair as it stands.
void logSqliteError(const char* function, int32_t line, int result, sqlite3* connection);

}  // namespace KSDSOLD
