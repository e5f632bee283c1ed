#include "store/schema_steps.h"

#include <string>

namespace zandle::service {
namespace {

// Each ends in the id, so a page is found by seeking to the last row's (time, id).
constexpr const char* kListIndexes[] = {
    "CREATE INDEX IF NOT EXISTS log_lines_by_time ON log_lines (received_ms, id)",
    "CREATE INDEX IF NOT EXISTS log_lines_by_tool_time ON log_lines (model, received_ms, id)",
    "CREATE INDEX IF NOT EXISTS log_lines_by_level_time ON log_lines (level, received_ms, id)",
    "CREATE INDEX IF NOT EXISTS sessions_by_time ON sessions (entered_ms, id)",
    "CREATE INDEX IF NOT EXISTS sessions_by_tool_time ON sessions (model, entered_ms, id)",
    "CREATE INDEX IF NOT EXISTS satisfaction_by_time ON satisfaction (received_ms, id)",
    "CREATE INDEX IF NOT EXISTS satisfaction_by_tool_time ON satisfaction (model, received_ms, id)",
    "CREATE INDEX IF NOT EXISTS sessions_open_by_tool ON sessions (model) WHERE left_ms IS NULL",
};

// Covered by the indexes above; one index less to keep up at every insert.
constexpr const char* kRetired[] = {
    "DROP INDEX IF EXISTS log_lines_by_arrival",
    "DROP INDEX IF EXISTS sessions_by_entry",
    "DROP INDEX IF EXISTS sessions_by_tool_entry",
    "DROP INDEX IF EXISTS satisfaction_by_arrival",
};

}  // namespace

void addListIndexes(SqlConnection& sql) {
  for (const char* statement : kListIndexes) sql.runScript(statement);
  for (const char* statement : kRetired) sql.runScript(statement);
}

}  // namespace zandle::service
