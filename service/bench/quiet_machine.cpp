#include "bench/quiet_machine.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace zandle::bench {
namespace {

struct CpuTicks {
  unsigned long long busy = 0;
  unsigned long long total = 0;
};

CpuTicks machineTicks() {
  std::ifstream stat("/proc/stat");
  std::string label;
  stat >> label;  // "cpu": all cores together
  CpuTicks ticks;
  unsigned long long value = 0;
  for (int field = 0; field < 8 && stat >> value; ++field) {
    ticks.total += value;
    if (field != 3 && field != 4) ticks.busy += value;  // idle and iowait are not work
  }
  return ticks;
}

}  // namespace

double processCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  // The command name may hold spaces and parentheses; the fields follow the last ')'.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  unsigned long long user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::stoull(field);
    if (i == 15) system = std::stoull(field);
  }
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double waitUntilQuiet(double maxSeconds) {
  const auto start = std::chrono::steady_clock::now();
  const auto waited = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
  while (waited() < maxSeconds) {
    const CpuTicks before = machineTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const CpuTicks after = machineTicks();
    const auto total = after.total - before.total;
    if (total > 0 && static_cast<double>(after.busy - before.busy) < 0.05 * static_cast<double>(total)) break;
  }
  return waited();
}

}  // namespace zandle::bench
