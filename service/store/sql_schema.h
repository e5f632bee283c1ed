// Tables of the store, written once for both SQL dialects.
#pragma once

#include <string>

#include "store/sql_connection.h"

namespace zandle::service {

// Idempotent: creates what is missing and leaves existing data alone.
std::string schemaScript(SqlDialect dialect);

}  // namespace zandle::service
