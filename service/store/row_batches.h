// Many rows a statement: one round trip to PostgreSQL for a batch of rows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/sql_connection.h"

namespace zandle::service {

// Runs `head` VALUES (...), (...) `tail` over `values`, `columns` to a row,
// through runLater. Statements take 64 rows, the rest in powers of two: few
// statement texts are ever prepared.
inline void runRows(SqlConnection& sql, std::string_view head, std::size_t columns, std::string_view tail,
                    const std::vector<SqlValue>& values) {
  constexpr std::size_t kMostRows = 64;
  std::string row = "(";
  for (std::size_t i = 0; i < columns; ++i) row += i ? ", ?" : "?";
  row += ")";
  const std::size_t rows = columns ? values.size() / columns : 0;
  for (std::size_t done = 0; done < rows;) {
    std::size_t take = kMostRows;
    while (take > rows - done) take /= 2;
    std::string statement(head);
    statement += " VALUES ";
    for (std::size_t i = 0; i < take; ++i) statement += (i ? ", " : "") + row;
    statement += tail;
    const auto first = values.begin() + static_cast<std::ptrdiff_t>(done * columns);
    sql.runLater(statement, std::vector<SqlValue>(first, first + static_cast<std::ptrdiff_t>(take * columns)));
    done += take;
  }
}

}  // namespace zandle::service
