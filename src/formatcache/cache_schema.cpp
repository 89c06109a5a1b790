#include "formatcache/cache_schema.h"

namespace KMC {

// Nine statements without separators; "\t" is one tab character. Deleting a machine deletes
// its formats (on_hardware_delete); a format row must name an existing machine (format_fkc).
const char* const kFormatCacheSchema =
    "PRAGMA auto_vacuum = full;"
    "PRAGMA temp_store = MEMORY;"
    "BEGIN;"
    "CREATE TABLE IF NOT EXISTS hardware (\thardware_id INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,   "
    "name TEXT NOT NULL,\tlast_used_timestamp TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS format (\thardware_id INTEGER NOT NULL,   media_type INTEGER NOT NULL,\t"
    "four_cc TEXT,\tid INTEGER,\tcost INTEGER NOT NULL DEFAULT 1000,   type_id INTEGER NOT NULL,   "
    "UNIQUE( hardware_id, media_type, four_cc ),   UNIQUE( hardware_id, media_type, id ));"
    "CREATE INDEX IF NOT EXISTS format_hardware_id ON format (hardware_id);"
    "CREATE TRIGGER IF NOT EXISTS on_hardware_delete AFTER DELETE ON hardware    BEGIN        "
    "DELETE FROM format WHERE hardware_id = old.hardware_id;    END;"
    "CREATE TRIGGER IF NOT EXISTS format_fkc BEFORE INSERT ON format    FOR EACH ROW BEGIN        "
    "SELECT RAISE(ROLLBACK, 'format_fkc violation')            WHERE (SELECT hardware_id FROM hardware "
    "WHERE hardware_id = NEW.hardware_id) IS NULL;    END;"
    "COMMIT;";

const char* const kFormatCacheFileName = "Hardware Cache";

}  // namespace KMC
