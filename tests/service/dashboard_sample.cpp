#include "dashboard_sample.h"
#include "service_test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <vector>

namespace zandle::servicetest {
namespace {

constexpr std::int64_t kDay = 86'400'000;
constexpr int kDays = 120;

// Deterministic, so every run draws the same pictures.
class Draw {
 public:
  double uniform() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) / 9007199254740992.0;
  }
  int below(int n) { return static_cast<int>(uniform() * n); }

 private:
  std::uint64_t state_ = 20240501;
};

struct Release {
  const char* version;
  int fromDay;        // days before now
  double likes[4];    // chance of 满意 for each function
};

constexpr Release kReleases[] = {{"2.0", 120, {0.48, 0.40, 0.62, 0.35}},
                                 {"2.1", 62, {0.52, 0.45, 0.66, 0.38}},
                                 {"2.2", 19, {0.74, 0.47, 0.70, 0.58}}};
constexpr const char* kFunctions[] = {"打印", "导出 PDF", "保存", "图层合并"};

class Writer {
 public:
  explicit Writer(sqlite3* db) : db_(db) {}
  ~Writer() {
    for (auto* statement : statements_) sqlite3_finalize(statement);
  }
  sqlite3_stmt* prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
    statements_.push_back(statement);
    return statement;
  }
  void step(sqlite3_stmt* statement) {
    EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db_);
    sqlite3_reset(statement);
  }

 private:
  sqlite3* db_;
  std::vector<sqlite3_stmt*> statements_;
};

void text(sqlite3_stmt* statement, int index, const std::string& value) {
  sqlite3_bind_text(statement, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

}  // namespace

void writeSampleHistory(const std::string& path, std::int64_t nowMillis) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
  {
    Writer writer(db);
    sqlite3_stmt* session = writer.prepare(
        "INSERT INTO sessions (login_detail_id, uin, model, extra, version, raw_model_name_ver, entered_ms, "
        "enter_address, left_ms, leave_address) VALUES (?, ?, ?, NULL, ?, x'', ?, '10.1.2.3', ?, '10.1.2.3')");
    sqlite3_stmt* answer = writer.prepare(
        "INSERT INTO satisfaction (uin, level, model, version, function, raw_model_name_ver, satis_info, "
        "received_ms, address) VALUES (?, ?, ?, ?, ?, x'', 'NULL', ?, '10.1.2.3')");
    sqlite3_stmt* line = writer.prepare(
        "INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, address) "
        "VALUES (?, ?, ?, ?, ?, x'', ?, '10.1.2.3')");
    sqlite3_stmt* tool = writer.prepare(
        "INSERT OR REPLACE INTO tools (model, last_version, first_seen_ms, last_seen_ms, last_uin, last_address) "
        "VALUES (?, ?, ?, ?, 1, '10.1.2.3')");
    Draw draw;
    int sessionNumber = 0;
    for (int daysAgo = kDays; daysAgo >= 0; --daysAgo) {
      const std::int64_t dayStart = (nowMillis / kDay - daysAgo) * kDay;
      const Release* release = &kReleases[0];
      for (const Release& candidate : kReleases) {
        if (daysAgo <= candidate.fromDay) release = &candidate;
      }
      const int weekday = static_cast<int>(((nowMillis / kDay - daysAgo) + 3) % 7);  // 0 is Monday
      const double growth = 1.0 + (kDays - daysAgo) / 160.0;
      const int users = static_cast<int>((weekday >= 5 ? 9 : 34) * growth) + draw.below(6);
      for (int user = 0; user < users; ++user) {
        const int uin = 1000 + draw.below(static_cast<int>(90 * growth));
        for (int visit = 0, visits = 1 + draw.below(2); visit < visits; ++visit) {
          const std::int64_t entered = dayStart + 7 * 3'600'000 + draw.below(11 * 3600) * 1000LL;
          if (entered >= nowMillis) continue;
          const std::int64_t length = static_cast<std::int64_t>(60'000 * (4 + 50 * std::pow(draw.uniform(), 2.2)));
          sqlite3_bind_int(session, 1, 500'000 + ++sessionNumber);
          sqlite3_bind_int(session, 2, uin);
          text(session, 3, std::string(kSampleTool));
          text(session, 4, release->version);
          sqlite3_bind_int64(session, 5, entered);
          if (entered + length < nowMillis) {
            sqlite3_bind_int64(session, 6, entered + length);
          } else {
            sqlite3_bind_null(session, 6);
          }
          writer.step(session);
          if (draw.uniform() < 0.35) {
            const int function = draw.below(4);
            const double chance = draw.uniform();
            const double likes = release->likes[function];
            const int level = chance < likes ? 1 : chance < likes + (1 - likes) * 0.6 ? 2 : 3;
            sqlite3_bind_int(answer, 1, uin);
            sqlite3_bind_int(answer, 2, level);
            text(answer, 3, std::string(kSampleTool));
            text(answer, 4, release->version);
            text(answer, 5, kFunctions[function]);
            sqlite3_bind_int64(answer, 6, entered + length / 2);
            writer.step(answer);
          }
          // Errors burst for a few days after 2.2, then a fix.
          const double errorChance = daysAgo <= 19 && daysAgo >= 15 ? 0.5 : 0.05;
          for (int level : {0, 1, 2, 2, 3}) {
            if (draw.uniform() > (level == 0 ? errorChance : 0.4)) continue;
            static const char* const kTexts[] = {"导出 PDF 失败：磁盘已满 (errno 28)", "Font cache rebuilt in 2.4 s",
                                                 "Opened drawing from network share", "Render tile 12/40"};
            sqlite3_bind_int(line, 1, uin);
            sqlite3_bind_int(line, 2, level);
            text(line, 3, std::string(kSampleTool));
            text(line, 4, release->version);
            text(line, 5, kTexts[level]);
            sqlite3_bind_int64(line, 6, entered + length / 3);
            writer.step(line);
          }
        }
      }
      // A second tool, smaller, so the tool choice has something to choose.
      for (int user = 0; user < 6 + draw.below(4); ++user) {
        const std::int64_t entered = dayStart + 9 * 3'600'000 + draw.below(8 * 3600) * 1000LL;
        if (entered >= nowMillis) continue;
        sqlite3_bind_int(session, 1, 900'000 + ++sessionNumber);
        sqlite3_bind_int(session, 2, 5000 + draw.below(20));
        text(session, 3, std::string(kOtherSampleTool));
        text(session, 4, "5.3");
        sqlite3_bind_int64(session, 5, entered);
        sqlite3_bind_int64(session, 6, entered + 600'000 + draw.below(1800) * 1000LL);
        writer.step(session);
      }
    }
    for (const auto& [name, version] : {std::pair{kSampleTool, "2.2"}, std::pair{kOtherSampleTool, "5.3"}}) {
      text(tool, 1, std::string(name));
      text(tool, 2, version);
      sqlite3_bind_int64(tool, 3, nowMillis - kDays * kDay);
      sqlite3_bind_int64(tool, 4, nowMillis - 60'000);
      writer.step(tool);
    }
  }
  ASSERT_EQ(sqlite3_exec(db, kForgetTallies, nullptr, nullptr, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

}  // namespace zandle::servicetest
