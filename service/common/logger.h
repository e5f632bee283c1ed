// Service log on stderr, one line per event, safe from any thread.
#pragma once

#include <string_view>

namespace zandle::service {

enum class LogSeverity { Info, Warning, Error };

void writeLog(LogSeverity severity, std::string_view message);

inline void logInfo(std::string_view message) { writeLog(LogSeverity::Info, message); }
inline void logWarning(std::string_view message) { writeLog(LogSeverity::Warning, message); }
inline void logError(std::string_view message) { writeLog(LogSeverity::Error, message); }

}  // namespace zandle::service
