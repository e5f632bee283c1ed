// "--store none": answers like a store but keeps nothing. Used to measure
// what durable storage costs.
#pragma once

#include <atomic>

#include "store/database.h"

namespace zandle::service {

class NullDatabase : public Database {
 public:
  void begin() override {}
  void commit() override {}
  void rollback() override {}

  void recordToolSighting(const ToolSighting&) override {}
  std::int32_t openSession(const SessionOpening&) override { return ++lastSessionId_; }
  bool closeSession(const SessionClosing& closing) override {
    return closing.sessionId > 0 && closing.sessionId <= lastSessionId_;
  }
  void insertLogLine(const LogLine&) override {}
  void insertSatisfaction(const SatisfactionReport&) override {}
  void saveToolConfig(const ToolConfig&) override {}
  bool deleteToolConfig(std::string_view) override { return false; }
  std::int64_t removeRecords(RecordKind, const RemovalFilter&, std::int64_t) override { return 0; }
  std::int64_t forgetToolSightings(std::int32_t) override { return 0; }
  void recordHealthCheck(std::int64_t) override {}

  bool isKnownModel(std::string_view) override { return false; }
  std::optional<ToolConfig> toolConfig(std::string_view) override { return std::nullopt; }

 private:
  std::atomic<std::int32_t> lastSessionId_{0};
};

}  // namespace zandle::service
