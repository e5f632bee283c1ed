#include "app/service_monitor.h"

#include <stdexcept>
#include <cstring>
#include <cerrno>

#include "client/core/wire_protocol.h"
#include "common/clock.h"
#include "store/store_worker.h"

namespace zandle::service {
namespace {

constexpr std::size_t kAccessLogBuffer = 64 * 1024;

std::vector<double> latencyBounds() {
  return {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};
}

// "2026-12-07T14:45:43": with the milliseconds after it, sortable and what log tools parse.
std::string isoSecond(std::int64_t millis) {
  std::string text = formatUtc(millis - ((millis % 1000) + 1000) % 1000);
  if (const std::size_t space = text.find(' '); space != std::string::npos) text[space] = 'T';
  return text;
}

}  // namespace

std::string_view routeLabel(std::string_view path) {
  if (path.starts_with(wire::kObjectPathPrefix)) {
    const std::string_view method = path.substr(wire::kObjectPathPrefix.size());
    for (std::string_view known : {wire::kMethodGetAppInfo, wire::kMethodUserEnter, wire::kMethodUserLeave,
                                   wire::kMethodWriteLog, wire::kMethodSatisfaction}) {
      if (method == known) return known;
    }
    return "unknown_web_method";
  }
  if (path == "/healthz") return "healthz";
  if (path == "/metrics") return "metrics";
  if (path.starts_with("/export/")) return "export";
  if (path == "/login" || path == "/logout") return "sign_in";
  if (path.empty()) return "unparsed";
  return "dashboard";
}

ServiceMonitor::ServiceMonitor(const std::string& accessLogPath) : requestSeconds_(latencyBounds()) {
  if (accessLogPath.empty()) return;
  if (accessLogPath == "-") {
    accessLog_ = stderr;
    return;
  }
  accessLog_ = std::fopen(accessLogPath.c_str(), "ae");
  if (!accessLog_) {
    throw std::runtime_error("cannot open access log " + accessLogPath + ": " + std::strerror(errno));
  }
  ownsAccessLog_ = true;
}

ServiceMonitor::~ServiceMonitor() {
  flushAccessLog();
  if (ownsAccessLog_) std::fclose(accessLog_);
}

// Called on the server's thread only.
void ServiceMonitor::answered(const AnsweredRequest& request) {
  const std::string_view route = routeLabel(request.path);
  {
    std::lock_guard lock(requestsMutex_);
    ++requests_[{route, request.status}];
  }
  requestSeconds_.observe(request.seconds);
  if (!accessLog_) return;
  // Never the query (it may hold a token) nor any header.
  const std::int64_t millis = request.arrivalMillis;
  const std::int64_t second = millis / 1000 - (millis % 1000 < 0);
  if (second != accessSecond_) {
    accessSecond_ = second;
    accessSecondText_ = isoSecond(millis);
  }
  char figures[128];
  std::snprintf(figures, sizeof figures, ".%03dZ ", static_cast<int>(((millis % 1000) + 1000) % 1000));
  accessPending_.append(accessSecondText_).append(figures).append(request.peer).append(" ");
  std::snprintf(figures, sizeof figures, " %d %llu %.1fms\n", request.status,
                static_cast<unsigned long long>(request.bytes), request.seconds * 1000);
  accessPending_.append(request.method).append(" ").append(request.path).append(figures);
  if (accessPending_.size() >= kAccessLogBuffer) flushAccessLog();
}

void ServiceMonitor::refused(std::string_view cause) {
  refusals_.add("cause=\"" + std::string(cause) + "\"");
  CoalescedLog* log = nullptr;
  {
    std::lock_guard lock(securityMutex_);
    auto found = securityLogs_.find(cause);
    if (found == securityLogs_.end()) {
      found = securityLogs_.emplace(std::string(cause), std::make_unique<CoalescedLog>(LogSeverity::Warning)).first;
    }
    log = found->second.get();
  }
  log->note("security: refused (" + std::string(cause) + ")");
}

void ServiceMonitor::tick() {
  flushAccessLog();
  std::lock_guard lock(securityMutex_);
  for (auto& [cause, log] : securityLogs_) log->flush();
}

void ServiceMonitor::flushAccessLog() {
  if (!accessLog_ || accessPending_.empty()) return;
  std::fwrite(accessPending_.data(), 1, accessPending_.size(), accessLog_);
  std::fflush(accessLog_);
  accessPending_.clear();
}

std::string ServiceMonitor::render(const ConnectionCounts& connections, const StoreWorker& writer,
                                   const StoreWorker& reader) const {
  std::string out;
  appendHeader(out, "zandle_requests_total", "counter", "Requests answered, by web method or dashboard part and status.");
  {
    std::lock_guard lock(requestsMutex_);
    for (const auto& [key, count] : requests_) {
      appendSample(out, "zandle_requests_total",
                   "method=\"" + std::string(key.first) + "\",status=\"" + std::to_string(key.second) + "\"",
                   static_cast<double>(count));
    }
  }
  requestSeconds_.render(out, "zandle_request_duration_seconds", "Time from a request's arrival to its reply sent.");
  writer.latency().render(out, "zandle_store_write_duration_seconds",
                          "Time from a write's submission to its commit (or failure).");
  reader.latency().render(out, "zandle_store_read_duration_seconds", "Time from a read's submission to its result.");
  appendHeader(out, "zandle_open_connections", "gauge", "Open connections by state.");
  appendSample(out, "zandle_open_connections", "state=\"idle\"", static_cast<double>(connections.idle));
  appendSample(out, "zandle_open_connections", "state=\"reading\"", static_cast<double>(connections.reading));
  appendSample(out, "zandle_open_connections", "state=\"processing\"", static_cast<double>(connections.processing));
  appendSample(out, "zandle_open_connections", "state=\"writing\"", static_cast<double>(connections.writing));
  appendSample(out, "zandle_open_connections", "state=\"closing\"", static_cast<double>(connections.closing));
  appendHeader(out, "zandle_refusals_total", "counter", "Requests and connections refused, by cause.");
  refusals_.render(out, "zandle_refusals_total");
  appendHeader(out, "zandle_store_queue_depth", "gauge", "Jobs waiting for the store.");
  appendSample(out, "zandle_store_queue_depth", "worker=\"writer\"", static_cast<double>(writer.queueDepth()));
  appendSample(out, "zandle_store_queue_depth", "worker=\"reader\"", static_cast<double>(reader.queueDepth()));
  const StoreWorkerStats stats = writer.stats();
  appendHeader(out, "zandle_records_written_total", "counter", "Client reports committed to the store.");
  appendSample(out, "zandle_records_written_total", "", static_cast<double>(stats.records));
  appendHeader(out, "zandle_store_failures_total", "counter", "Writes the store failed.");
  appendSample(out, "zandle_store_failures_total", "", static_cast<double>(stats.failures));
  return out;
}

}  // namespace zandle::service
