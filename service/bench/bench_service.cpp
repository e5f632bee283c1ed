// zandle-bench-service: WriteLog reports per second and latency with durable
// commits, side by side with the same service storing nothing, in one run.
// Two ways of sending: one HTTP/1.0 exchange on a new connection per report,
// as the client makes it, and HTTP/1.1 keep-alive connections, each used for
// one report after another, which leaves more of the time to the store.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/quiet_machine.h"
#include "client/core/wire_protocol.h"
#include "testkit/keep_alive_client.h"
#include "testkit/log_text.h"
#include "testkit/raw_http.h"
#include "testkit/service_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using zandle::testkit::ServiceProcess;

constexpr std::size_t kMaxReportsPerRun = 2'000'000;

enum class Sending { NewConnections, KeepAlive };

struct Settings {
  std::string serviceBinary;
  int connections = 32;
  double seconds = 4;
  int rounds = 3;
  std::string postgresUrl;
  std::vector<Sending> modes{Sending::NewConnections, Sending::KeepAlive};
  std::vector<bool> accessLog{false};  // each store without and/or with --access-log
  std::string compareBinary;  // another build, measured beside this one
  double settleSeconds = 10;  // longest wait for a quiet machine before a run
};

const char* describe(Sending mode) {
  return mode == Sending::KeepAlive ? "HTTP/1.1 keep-alive, one connection per client"
                                    : "HTTP/1.0, one connection per report";
}

struct Measurement {
  std::uint64_t succeeded = 0;
  std::uint64_t failed = 0;
  double elapsedSeconds = 0;
  std::vector<double> latenciesMs;

  double perSecond() const { return elapsedSeconds > 0 ? static_cast<double>(succeeded) / elapsedSeconds : 0; }
  double percentile(double fraction) {
    if (latenciesMs.empty()) return 0;
    std::sort(latenciesMs.begin(), latenciesMs.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(latenciesMs.size() - 1));
    return latenciesMs[index];
  }
};

struct Target {
  std::string name;
  std::vector<std::string> arguments;
  std::unique_ptr<ServiceProcess> process;
  std::vector<Measurement> totals;  // one per mode
  std::size_t baseline = 0;  // the "none" target its figures are compared with
  std::string binary;
  double catchUpCpu = 0;  // CPU seconds it spent while the machine settled after runs
};

Measurement runLoad(std::uint16_t port, const Settings& settings, Sending mode) {
  const std::string expected = std::string(zandle::wire::kIntStartTag) + "1</int>";
  std::atomic<std::uint64_t> issued{0};
  std::vector<Measurement> perThread(static_cast<std::size_t>(settings.connections));
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(settings.seconds);
  std::vector<std::thread> threads;
  for (int t = 0; t < settings.connections; ++t) {
    threads.emplace_back([&, t] {
      Measurement& mine = perThread[static_cast<std::size_t>(t)];
      zandle::testkit::KeepAliveClient connection(port);
      // Every report a different line, as a tool's are: a store's text index costs what it would.
      zandle::testkit::LogTextMaker texts(static_cast<std::uint64_t>(t));
      while (Clock::now() < end && issued.fetch_add(1) < kMaxReportsPerRun) {
        const std::string body = "strLoginUIN=" + std::to_string(1000 + t) + "&strLogInfo=BenchTool,1.0[" +
                                 texts.next() + "]&nLogLevel=1";
        const auto sent = Clock::now();
        const auto reply = mode == Sending::KeepAlive
                               ? connection.call(zandle::wire::kMethodWriteLog, body)
                               : zandle::testkit::callWebMethod(port, zandle::wire::kMethodWriteLog, body);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        if (reply.status == 200 && reply.body.find(expected) != std::string::npos) {
          ++mine.succeeded;
          mine.latenciesMs.push_back(ms);
        } else {
          ++mine.failed;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  Measurement merged;
  merged.elapsedSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (auto& part : perThread) {
    merged.succeeded += part.succeeded;
    merged.failed += part.failed;
    merged.latenciesMs.insert(merged.latenciesMs.end(), part.latenciesMs.begin(), part.latenciesMs.end());
  }
  return merged;
}

void add(Measurement& into, const Measurement& part) {
  into.succeeded += part.succeeded;
  into.failed += part.failed;
  into.elapsedSeconds += part.elapsedSeconds;
  into.latenciesMs.insert(into.latenciesMs.end(), part.latenciesMs.begin(), part.latenciesMs.end());
}

std::string defaultServiceBinary(const char* self) {
  return (std::filesystem::absolute(self).parent_path() / "zandle-service").string();
}

constexpr const char* kUsage =
    "usage: zandle-bench-service [--seconds S] [--rounds R] [--connections N] [--mode new|keep-alive|both]\n"
    "                            [--access-log off|on|both] [--postgres URL] [--service PATH]\n"
    "                            [--compare-service PATH] [--settle S]\n"
    "  --seconds S       length of one measured run, 0.2 to 60 (default 4)\n"
    "  --rounds R        runs per store and way of sending, 1 to 20 (default 3)\n"
    "  --connections N   concurrent simulated clients, 1 to 512 (default 32)\n"
    "  --mode M          new: a new HTTP/1.0 connection per report, as the client makes them;\n"
    "                    keep-alive: HTTP/1.1 connections, one per client; both (default)\n"
    "  --access-log A    each store without the service's access log (off, the default), with it\n"
    "                    (on), or both side by side\n"
    "  --postgres URL    also measure a PostgreSQL store (libpq URL)\n"
    "  --service PATH    the zandle-service binary (default: beside this program)\n"
    "  --compare-service PATH  another build of zandle-service, measured beside it\n"
    "  --settle S        before each run, wait up to S seconds (0 to 300, default 10) for the\n"
    "                    machine to go quiet, so that work one service left for its idle time\n"
    "                    does not slow the next store's run\n"
    "Starts the service with each store (none, SQLite, PostgreSQL if given) and prints WriteLog\n"
    "reports per second and latency side by side, with the ratios to the store that keeps nothing.\n";

struct UsageError : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

Settings parseSettings(int argc, char** argv) {
  Settings settings;
  settings.serviceBinary = defaultServiceBinary(argv[0]);
  for (int i = 1; i < argc; i += 2) {
    const std::string flag = argv[i];
    if (i + 1 == argc) throw UsageError("option " + flag + " needs a value");
    const std::string value = argv[i + 1];
    const auto number = [&](auto convert) {
      try {
        return convert(value);
      } catch (const std::logic_error&) {  // stoi's and stod's invalid_argument and out_of_range
        throw UsageError("option " + flag + " needs a number, not \"" + value + "\"");
      }
    };
    const auto integer = [](const std::string& text) { return std::stoi(text); };
    const auto real = [](const std::string& text) { return std::stod(text); };
    if (flag == "--service") settings.serviceBinary = value;
    else if (flag == "--connections") settings.connections = std::clamp(number(integer), 1, 512);
    else if (flag == "--seconds") settings.seconds = std::clamp(number(real), 0.2, 60.0);
    else if (flag == "--rounds") settings.rounds = std::clamp(number(integer), 1, 20);
    else if (flag == "--postgres") settings.postgresUrl = value;
    else if (flag == "--compare-service") settings.compareBinary = value;
    else if (flag == "--settle") settings.settleSeconds = std::clamp(number(real), 0.0, 300.0);
    else if (flag == "--access-log" && value == "off") settings.accessLog = {false};
    else if (flag == "--access-log" && value == "on") settings.accessLog = {true};
    else if (flag == "--access-log" && value == "both") settings.accessLog = {false, true};
    else if (flag == "--mode" && value == "new") settings.modes = {Sending::NewConnections};
    else if (flag == "--mode" && value == "keep-alive") settings.modes = {Sending::KeepAlive};
    else if (flag == "--mode" && value == "both") settings.modes = {Sending::NewConnections, Sending::KeepAlive};
    else throw UsageError("unknown option " + flag + (flag == "--mode" || flag == "--access-log" ? " " + value : ""));
  }
  return settings;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  try {
    Settings settings;
    try {
      settings = parseSettings(argc, argv);
    } catch (const UsageError& error) {
      std::cerr << "zandle-bench-service: " << error.what() << "\n" << kUsage;
      return 2;
    }
    zandle::testkit::TemporaryDirectory directory;
    std::vector<Target> targets;
    std::vector<std::pair<std::string, bool>> builds{{settings.serviceBinary, false}};
    if (!settings.compareBinary.empty()) builds.emplace_back(settings.compareBinary, true);
    for (const auto& build : builds)
    for (const bool logged : settings.accessLog) {
      const std::string& binary = build.first;
      const bool compared = build.second;
      if (compared && logged) continue;  // an older build may have no access log
      const std::size_t baseline = targets.size();
      const std::string suffix = std::to_string(baseline);
      std::vector<std::string> logging;
      if (logged) logging = {"--access-log", directory.path() + "/access" + suffix + ".log"};
      const auto add = [&](std::string name, std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), logging.begin(), logging.end());
        name += logged ? " +access log" : "";
        name += compared ? " [compared build]" : "";
        targets.push_back({std::move(name), std::move(arguments), nullptr, {}, baseline, binary});
      };
      add("none (answers, stores nothing)", {"--store", "none"});
      add("sqlite (WAL, synchronous FULL)", {"--store", "sqlite:" + directory.path() + "/bench" + suffix + ".db"});
      // One database serves both: the rows are never read back.
      if (!settings.postgresUrl.empty()) add("postgresql (synchronous_commit on)", {"--store", settings.postgresUrl});
    }
    Settings warmUp = settings;
    warmUp.seconds = 0.3;
    for (auto& target : targets) {
      target.arguments.insert(target.arguments.end(), {"--token", "bench-token-0123456789"});
      target.process = ServiceProcess::start(target.binary, target.arguments);
      target.totals.resize(settings.modes.size());
      runLoad(target.process->port(), warmUp, settings.modes.front());
    }
    // Rounds alternate between the stores and the modes so that drift of the machine hits all alike.
    // Each run starts on a quiet machine: what a service leaves for its idle
    // time is not charged to the store measured after it.
    double settling = 0;
    for (int round = 0; round < settings.rounds; ++round) {
      for (std::size_t m = 0; m < settings.modes.size(); ++m) {
        for (auto& target : targets) {
          std::vector<double> before;
          for (const auto& each : targets) before.push_back(zandle::bench::processCpuSeconds(each.process->pid()));
          settling += zandle::bench::waitUntilQuiet(settings.settleSeconds);
          for (std::size_t i = 0; i < targets.size(); ++i) {
            targets[i].catchUpCpu += zandle::bench::processCpuSeconds(targets[i].process->pid()) - before[i];
          }
          add(target.totals[m], runLoad(target.process->port(), settings, settings.modes[m]));
        }
      }
    }
    std::vector<std::string> commitLines;
    for (auto& target : targets) {
      target.process->terminate();
      const std::string log = target.process->log();
      const std::size_t at = log.rfind("stopped; ");
      commitLines.push_back(at == std::string::npos ? "" : log.substr(at + 9, log.find('\n', at) - at - 9));
    }

    std::printf("WriteLog, %d concurrent clients, %d rounds of %.1f s per store and way of sending\n",
                settings.connections, settings.rounds, settings.seconds);
    for (std::size_t m = 0; m < settings.modes.size(); ++m) {
      std::printf("\n%s\n", describe(settings.modes[m]));
      std::printf("%-48s %12s %9s %9s %8s\n", "store", "reports/s", "p50 ms", "p99 ms", "failed");
      std::vector<double> rates, p99s;
      for (auto& target : targets) {
        Measurement& total = target.totals[m];
        rates.push_back(total.perSecond());
        const double p50 = total.percentile(0.50);
        p99s.push_back(total.percentile(0.99));
        std::printf("%-48s %12.0f %9.2f %9.2f %8llu\n", target.name.c_str(), rates.back(), p50, p99s.back(),
                    static_cast<unsigned long long>(total.failed));
      }
      for (std::size_t i = 0; i < targets.size(); ++i) {
        const std::size_t base = targets[i].baseline;
        if (i == base) {
          if (base > 0) std::printf("ratio %s / none: reports/s %.2f\n", targets[i].name.c_str(), rates[i] / rates[0]);
          continue;
        }
        std::printf("ratio %s / %s: reports/s %.2f, p99 latency %.2fx\n", targets[i].name.c_str(),
                    targets[base].name.substr(0, targets[base].name.find(' ')).c_str(),
                    rates[base] > 0 ? rates[i] / rates[base] : 0.0, p99s[base] > 0 ? p99s[i] / p99s[base] : 0.0);
      }
    }
    std::printf("\nwaited %.1f s in all for a quiet machine before the runs; CPU the services spent meanwhile on\n"
                "work left from their runs (not in the figures above):\n", settling);
    for (const auto& target : targets) std::printf("  %-46s %6.2f s\n", target.name.c_str(), target.catchUpCpu);
    std::printf("\n");
    for (std::size_t i = 0; i < targets.size(); ++i) {
      std::printf("group commit, %s, all modes: %s\n", targets[i].name.substr(0, targets[i].name.find(' ')).c_str(),
                  commitLines[i].c_str());
    }
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "zandle-bench-service: " << error.what() << "\n";
    return 1;
  }
}
