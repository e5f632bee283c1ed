// Tables of the store, written once for both SQL dialects.
#pragma once

#include <string>

#include "store/sql_connection.h"

namespace zandle::service {

// Idempotent: creates what is missing and leaves existing data alone.
std::string schemaScript(SqlDialect dialect);

// Brings a store made by an earlier version up to date after schemaScript;
// safe to run at every start and from several instances at once.
void upgradeSchema(SqlConnection& sql);

// The indexes a store too large to wait for them at start gets beside the
// requests: builds one that is missing (PostgreSQL: CONCURRENTLY, outside any
// transaction); false once none is.
bool buildListIndex(SqlConnection& sql);

}  // namespace zandle::service
