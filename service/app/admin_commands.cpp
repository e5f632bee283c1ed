#include "app/admin_commands.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <map>
#include <stdexcept>

#include "store/sqlite_backup.h"
#include "store/store_location.h"

namespace zandle::service {
namespace {

constexpr std::int64_t kForgetBatch = 5'000;

constexpr const char* kUsage =
    "usage: zandle-service backup --store sqlite:PATH --to FILE\n"
    "         a consistent copy of a live SQLite store; restore by copying FILE back while the service is stopped\n"
    "         (PostgreSQL: pg_dump, see the README)\n"
    "       zandle-service forget --store STORE --uin N\n"
    "         deletes every session, log line and answer of user N, and says how many\n";

// "--name value" pairs; each name once.
std::map<std::string, std::string> flags(const std::vector<std::string>& arguments, std::initializer_list<const char*> names) {
  std::map<std::string, std::string> found;
  for (std::size_t i = 1; i < arguments.size(); i += 2) {
    const std::string& flag = arguments[i];
    bool known = false;
    for (const char* name : names) known = known || flag == name;
    if (!known) throw std::invalid_argument("unknown option " + flag);
    if (i + 1 >= arguments.size()) throw std::invalid_argument(flag + " needs a value");
    if (!found.emplace(flag, arguments[i + 1]).second) throw std::invalid_argument(flag + " is given twice");
  }
  for (const char* name : names) {
    if (!found.contains(name)) throw std::invalid_argument(std::string(name) + " is required");
  }
  return found;
}

int backup(const std::vector<std::string>& arguments) {
  const auto given = flags(arguments, {"--store", "--to"});
  const StoreLocation location = StoreLocation::parse(given.at("--store"));
  if (location.kind != StoreKind::Sqlite) {
    throw std::invalid_argument("backup copies SQLite stores; for PostgreSQL use pg_dump (see the README)");
  }
  const BackupResult result = backupSqliteStore(location.target, given.at("--to"));
  std::cout << "backed up " << location.target << " to " << given.at("--to") << ": " << result.pages << " pages, "
            << result.bytes << " bytes\n";
  return 0;
}

int forget(const std::vector<std::string>& arguments) {
  const auto given = flags(arguments, {"--store", "--uin"});
  const std::string& text = given.at("--uin");
  std::int32_t uin = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), uin);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw std::invalid_argument("--uin takes a 32-bit decimal integer");
  }
  const StoreLocation location = StoreLocation::parse(given.at("--store"));
  if (location.kind == StoreKind::None) throw std::invalid_argument("--store none keeps nothing to forget");
  if (location.kind == StoreKind::Sqlite && !std::filesystem::exists(location.target)) {
    throw std::runtime_error("no store at " + location.target);
  }
  const auto database = location.open(false);
  // Batch by batch, each in its own transaction, so a running service is held up briefly only.
  const auto removeAll = [&](RecordKind kind) {
    std::int64_t total = 0;
    for (;;) {
      database->begin();
      const std::int64_t removed = database->removeRecords(kind, {std::nullopt, uin}, kForgetBatch);
      database->commit();
      total += removed;
      if (removed < kForgetBatch) return total;
    }
  };
  const std::int64_t sessions = removeAll(RecordKind::Session);
  const std::int64_t lines = removeAll(RecordKind::LogLine);
  const std::int64_t answers = removeAll(RecordKind::Answer);
  database->begin();
  const std::int64_t tools = database->forgetToolSightings(uin);
  database->commit();
  std::cout << "forgot user " << uin << ": " << sessions << " sessions, " << lines << " log lines, " << answers
            << " answers deleted; last sighting of " << tools << " tools cleared\n";
  return 0;
}

}  // namespace

std::optional<int> runAdminCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty() || (arguments[0] != "backup" && arguments[0] != "forget")) return std::nullopt;
  try {
    return arguments[0] == "backup" ? backup(arguments) : forget(arguments);
  } catch (const std::invalid_argument& error) {
    std::cerr << "zandle-service " << arguments[0] << ": " << error.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "zandle-service " << arguments[0] << ": " << error.what() << "\n";
    return 1;
  }
}

}  // namespace zandle::service
