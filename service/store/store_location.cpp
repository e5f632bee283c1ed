#include "store/store_location.h"

#include <stdexcept>

#include "store/null_database.h"
#include "store/postgres_connection.h"
#include "store/sql_database.h"
#include "store/sqlite_connection.h"

namespace zandle::service {

StoreLocation StoreLocation::parse(std::string_view text) {
  if (text == "none") return {StoreKind::None, ""};
  if (text.starts_with("sqlite:") && text.size() > 7) return {StoreKind::Sqlite, std::string(text.substr(7))};
  if (text.starts_with("postgresql://") || text.starts_with("postgres://")) {
    return {StoreKind::Postgres, std::string(text)};
  }
  throw std::invalid_argument("--store takes sqlite:PATH, postgresql://... or none");
}

std::unique_ptr<Database> StoreLocation::open(bool createSchema) const {
  switch (kind) {
    case StoreKind::None:
      return std::make_unique<NullDatabase>();
    case StoreKind::Sqlite:
      return std::make_unique<SqlDatabase>(std::make_unique<SqliteConnection>(target, false), createSchema);
    case StoreKind::Postgres:
      return std::make_unique<SqlDatabase>(std::make_unique<PostgresConnection>(target), createSchema);
  }
  throw std::logic_error("unknown store kind");
}

std::string StoreLocation::describe() const {
  switch (kind) {
    case StoreKind::None: return "none (nothing is stored)";
    case StoreKind::Sqlite: return "SQLite " + target;
    case StoreKind::Postgres: return "PostgreSQL";  // the URL may carry a password
  }
  return "";
}

}  // namespace zandle::service
