#include "database/sqlite_error_record.h"

#include <sqlite3.h>

#include "logging/logger.h"

namespace KSDSOLD {

void logSqliteError(const char* function, int32_t line, int result, sqlite3* connection) {
  KMC::Logger::write(KMC::Logger::instance(), "Cache", function, line, "SQLITE ERROR: %d\n%s", result,
                     sqlite3_errmsg(connection));
}

}  // namespace KSDSOLD
