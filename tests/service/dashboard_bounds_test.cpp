// Unauthenticated clients decide what the store holds: 20,000 tool names of a
// kilobyte, 3,000 log lines of 60 KB at as many levels after 3,000 short ones,
// thousands of long function names and versions. The
// dashboard's pages stay a few hundred kilobytes and its exports stream in
// constant memory, so the service's memory hardly grows while serving them.
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "common/text_escape.h"
#include "service_test_support.h"

namespace zandle::servicetest {
namespace {

constexpr int kTools = 20'000;
constexpr std::size_t kToolNameBytes = 1024;
constexpr int kLogLines = 3'000;
constexpr std::size_t kLogLineBytes = 60 * 1024;
constexpr int kShortLines = 3'000;  // earlier, so an export reads them first
constexpr int kFunctions = 5'000;
constexpr std::size_t kMaxPageBytes = 300 * 1024;
constexpr long kMaxGrowthKiB = 32 * 1024;

std::string toolName(int i) {
  std::string name = "tool-" + std::to_string(i) + "-";
  while (name.size() < kToolNameBytes) name += "名字x";
  return name.substr(0, kToolNameBytes);
}

// KiB of a line of /proc/PID/status, such as VmRSS or VmHWM (the peak).
// Sanitizers hold freed memory back on purpose: growth means nothing there.
bool memoryMeasurable() {
  const char* binary = std::getenv("ZANDLE_SERVICE_UNDER_TEST");
  return !binary || !*binary;
}

long statusKiB(pid_t pid, std::string_view field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field) && line[field.size()] == ':') return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

struct Download {
  int status = 0;
  std::size_t bodyBytes = 0;
  std::size_t rows = 0;  // lines of the body
  std::string head;
  std::string tail;  // the body's last bytes
};

// Counts the body as it arrives instead of keeping it.
Download download(std::uint16_t port, std::string_view target) {
  Download result;
  const int fd = testkit::connectLoopback(port);
  if (fd < 0) return result;
  const std::string request = "GET " + std::string(target) + " HTTP/1.0\r\nAuthorization: Bearer " +
                              std::string(kToken) + "\r\n\r\n";
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    close(fd);
    return result;
  }
  std::string head;
  bool inBody = false;
  const auto take = [&result](std::string_view bytes) {
    result.bodyBytes += bytes.size();
    for (char c : bytes) result.rows += c == '\n';
    result.tail += bytes;
    if (result.tail.size() > 16) result.tail.erase(0, result.tail.size() - 16);
  };
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 60'000) <= 0) break;
    const ssize_t received = recv(fd, buffer.data(), buffer.size(), 0);
    if (received <= 0) break;
    const std::string_view bytes(buffer.data(), static_cast<std::size_t>(received));
    if (inBody) {
      take(bytes);
      continue;
    }
    head.append(bytes);
    const std::size_t end = head.find("\r\n\r\n");
    if (end == std::string::npos) continue;
    inBody = true;
    result.head = head.substr(0, end);
    result.status = std::atoi(head.substr(9, 3).c_str());
    take(std::string_view(head).substr(end + 4));
  }
  close(fd);
  return result;
}

class BoundsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    service_ = new RunningService(Backend::Sqlite);
    ASSERT_TRUE(stringResult(service_->call("GetAppInfo", "strLoginUIN=1&strModelNameVer=Painter,1.0")));
    service_->terminate();
    fill(service_->store().substr(std::string_view("sqlite:").size()));
    service_->restart();
  }
  static void TearDownTestSuite() {
    delete service_;
    service_ = nullptr;
  }

  // What hostile clients could have sent, written straight into the store.
  static void fill(const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto run = [db](const char* sql, const auto& bind, int count) {
      sqlite3_stmt* statement = nullptr;
      ASSERT_EQ(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
      for (int i = 0; i < count; ++i) {
        bind(statement, i);
        ASSERT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_reset(statement);
      }
      sqlite3_finalize(statement);
    };
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    run("INSERT INTO tools (model, last_version, first_seen_ms, last_seen_ms, last_uin, last_address) "
        "VALUES (?, '1.0', ?, ?, 1, '192.0.2.1')",
        [now](sqlite3_stmt* s, int i) {
          const std::string name = toolName(i);
          sqlite3_bind_text(s, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
          sqlite3_bind_int64(s, 2, now - i);
          sqlite3_bind_int64(s, 3, now - i);
        },
        kTools);
    run("INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, address) "
        "VALUES (?, ?, 'Painter', '1.0', ?, x'', ?, '192.0.2.1')",
        [now](sqlite3_stmt* s, int i) {
          std::string text = "line " + std::to_string(i) + " ";
          while (text.size() < kLogLineBytes) text += "长长的日志 <b>&amp;</b> ";
          text.resize(kLogLineBytes - 7);  // whole characters: the padding is ASCII at this point
          sqlite3_bind_int(s, 1, i);
          sqlite3_bind_int(s, 2, i);  // every line a level of its own
          sqlite3_bind_text(s, 3, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
          sqlite3_bind_int64(s, 4, now - 1000 + i / 10);
        },
        kLogLines);
    run("INSERT INTO log_lines (uin, level, model, version, text, raw_log_info, received_ms, address) "
        "VALUES (?, 0, 'Painter', '1.0', ?, x'', ?, '192.0.2.1')",
        [now](sqlite3_stmt* s, int i) {
          const std::string text = "short " + std::to_string(i);
          sqlite3_bind_int(s, 1, i);
          sqlite3_bind_text(s, 2, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
          sqlite3_bind_int64(s, 3, now - 100'000 + i);
        },
        kShortLines);
    run("INSERT INTO satisfaction (uin, level, model, version, function, raw_model_name_ver, satis_info, "
        "received_ms, address) VALUES (?, ?, ?, '1.0', ?, x'', 'NULL', ?, '192.0.2.1')",
        [now](sqlite3_stmt* s, int i) {
          const std::string tool = toolName(i % 7);
          const std::string function = "function " + toolName(i);
          sqlite3_bind_int(s, 1, i);
          sqlite3_bind_int(s, 2, 1 + i % 3);
          sqlite3_bind_text(s, 3, tool.data(), static_cast<int>(tool.size()), SQLITE_TRANSIENT);
          sqlite3_bind_text(s, 4, function.data(), static_cast<int>(function.size()), SQLITE_TRANSIENT);
          sqlite3_bind_int64(s, 5, now - 2000);
        },
        kFunctions);
    run("INSERT INTO sessions (login_detail_id, uin, model, version, raw_model_name_ver, entered_ms, enter_address, "
        "left_ms, leave_address) VALUES (?, ?, ?, ?, x'', ?, '192.0.2.1', ?, '192.0.2.1')",
        [now](sqlite3_stmt* s, int i) {
          const std::string tool = toolName(i % 7);
          const std::string version = "version " + toolName(i);
          sqlite3_bind_int(s, 1, i + 1);
          sqlite3_bind_int(s, 2, i);
          sqlite3_bind_text(s, 3, tool.data(), static_cast<int>(tool.size()), SQLITE_TRANSIENT);
          sqlite3_bind_text(s, 4, version.data(), static_cast<int>(version.size()), SQLITE_TRANSIENT);
          sqlite3_bind_int64(s, 5, now - 3000 - i);
          sqlite3_bind_int64(s, 6, now - 1000);
        },
        kFunctions);
    ASSERT_EQ(sqlite3_exec(db, kForgetTallies, nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }

  void expectSmallPage(const std::string& target) {
    const testkit::HttpReply page = service_->get(target);
    EXPECT_EQ(page.status, 200) << target;
    EXPECT_LT(page.body.size(), kMaxPageBytes) << target;
    EXPECT_NE(page.body.find("</html>"), std::string::npos) << target;
  }

  static RunningService* service_;
};

RunningService* BoundsTest::service_ = nullptr;

TEST_F(BoundsTest, PagesStaySmallWhateverClientsHaveSent) {
  const pid_t pid = service_->process().pid();
  const long before = statusKiB(pid, "VmRSS");
  ASSERT_GT(before, 0);
  const std::string aTool = service::urlEncode(toolName(3));
  for (const std::string& target : std::vector<std::string>{
           "/", "/?tool=" + aTool, "/?fpage=3", "/?vpage=9&range=90d", "/?range=24h&epage=2", "/logs", "/logs?page=7", "/logs?level=2&q=line%2012", "/tools",
           "/tools?page=200", "/tools?q=tool-19", "/logs/line?id=17", "/config?model=" + aTool}) {
    expectSmallPage(target);
  }
  // The tool list is there, a page at a time.
  const testkit::HttpReply lastTools = service_->get("/tools?page=666");
  EXPECT_NE(lastTools.body.find("tool-19999-"), std::string::npos) << "the least recently seen is on the last page";
  const testkit::HttpReply line = service_->get("/logs/line?id=17");
  EXPECT_NE(line.body.find("line 16 "), std::string::npos);
  EXPECT_GT(line.body.size(), kLogLineBytes);  // the whole line, escaped
  if (memoryMeasurable()) EXPECT_LT(statusKiB(pid, "VmHWM") - before, kMaxGrowthKiB);
  std::cout << "pages: RSS " << before << " KiB before, peak " << statusKiB(pid, "VmHWM") << " KiB\n";
}

TEST_F(BoundsTest, ExportsStreamInConstantMemory) {
  const pid_t pid = service_->process().pid();
  const long before = statusKiB(pid, "VmRSS");
  const Download json = download(service_->port(), "/export/logs.json");
  EXPECT_EQ(json.status, 200);
  EXPECT_GT(json.bodyBytes, static_cast<std::size_t>(kLogLines) * kLogLineBytes);
  EXPECT_EQ(json.rows, static_cast<std::size_t>(kLogLines + kShortLines) + 2);  // "[", a line each, "]"
  EXPECT_TRUE(json.tail.ends_with("}\n]\n")) << json.tail;
  const Download csv = download(service_->port(), "/export/logs.csv?tool=Painter");
  EXPECT_EQ(csv.status, 200);
  EXPECT_GT(csv.bodyBytes, static_cast<std::size_t>(kLogLines) * kLogLineBytes);
  const Download functions = download(service_->port(), "/export/summary.json");
  EXPECT_EQ(functions.status, 200);
  EXPECT_GT(functions.bodyBytes, static_cast<std::size_t>(kFunctions) * kToolNameBytes);
  EXPECT_TRUE(functions.tail.ends_with("]}\n")) << functions.tail;
  for (std::string_view name : {"satisfaction.csv", "sessions.json", "config.json"}) {
    EXPECT_EQ(download(service_->port(), "/export/" + std::string(name)).status, 200) << name;
  }
  if (memoryMeasurable()) EXPECT_LT(statusKiB(pid, "VmHWM") - before, kMaxGrowthKiB);
  std::cout << "exports: RSS " << before << " KiB before, peak " << statusKiB(pid, "VmHWM") << " KiB\n";
}

}  // namespace
}  // namespace zandle::servicetest
