// The --store argument: "sqlite:PATH", "postgresql://..." / "postgres://...", or "none".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "store/database.h"

namespace zandle::service {

enum class StoreKind { Sqlite, Postgres, None };

struct StoreLocation {
  StoreKind kind = StoreKind::Sqlite;
  std::string target;  // file path or connection URL

  // Throws std::invalid_argument for anything else.
  static StoreLocation parse(std::string_view text);

  // A connection of its own for each caller; the first one creates the schema.
  std::unique_ptr<Database> open(bool createSchema) const;

  std::string describe() const;
};

}  // namespace zandle::service
