#include "common/logger.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "common/clock.h"

namespace zandle::service {

void writeLog(LogSeverity severity, std::string_view message) {
  static std::mutex mutex;
  const char* label = severity == LogSeverity::Info ? "info" : severity == LogSeverity::Warning ? "warning" : "error";
  std::string line = formatUtc(nowMillis()) + " zandle-service " + label + ": ";
  line.append(message);
  line += '\n';
  std::lock_guard lock(mutex);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace zandle::service
