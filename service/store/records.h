// What the service stores and reads back. Texts are valid UTF-8; raw fields
// keep the bytes exactly as decoded from the request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zandle::service {

struct Arrival {
  std::int64_t millis = 0;
  std::string address;
};

struct ToolSighting {  // a GetAppInfo call
  std::int32_t uin = 0;
  std::string model;
  std::string version;
  Arrival arrival;
};

struct SessionOpening {
  std::int32_t uin = 0;
  std::string model;
  std::optional<std::string> extra;
  std::string version;
  std::string rawModelNameVer;
  Arrival arrival;
};

struct SessionClosing {
  std::int32_t sessionId = 0;
  Arrival arrival;
};

// Where the line `zandle-cli check` sends is kept: past the levels a tool names (0 to 9),
// so that it counts under no level's figures, errors (level 0) least of all.
inline constexpr std::int32_t kHealthCheckLevel = 1000;

struct LogLine {
  std::int32_t uin = 0;
  std::int32_t level = 0;
  std::string model;
  std::string version;
  std::string text;
  std::string rawLogInfo;
  Arrival arrival;
};

struct SatisfactionReport {
  std::int32_t uin = 0;
  std::int32_t level = 0;
  std::string model;
  std::string version;
  std::string function;
  std::string rawModelNameVer;
  std::string satisInfo;
  Arrival arrival;
};

// The empty model name holds the answer for tools without a row of their own.
struct ToolConfig {
  std::string model;
  std::int32_t warningLevel = 0;
  std::vector<std::string> functions;
};

// Reading side.

struct TimeRange {
  std::int64_t fromMillis = 0;
  std::int64_t toMillis = INT64_MAX;  // exclusive
};

struct StoredLogLine {
  std::int64_t id = 0;
  LogLine line;
};

struct StoredSession {
  std::int64_t id = 0;             // the row's, for paging
  std::int32_t loginDetailId = 0;  // the tool's: UserEnter's reply
  std::int32_t uin = 0;
  std::string model;
  std::optional<std::string> extra;
  std::string version;
  Arrival entered;
  std::optional<Arrival> left;
};

struct StoredSatisfaction {
  std::int64_t id = 0;
  SatisfactionReport report;
};

}  // namespace zandle::service
