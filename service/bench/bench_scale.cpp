// zandle-bench-scale: fills a store to each given number of log lines, with
// sessions and survey answers in proportion, spread over 90 days, 1,000
// tools and 50,000 users; then times each dashboard page and the first piece
// of each export against the service on that store, the rate a whole export
// streams at, and WriteLog reports per second at that size beside a service
// that stores nothing.
//
// Filling goes through the store's own write path (the same statements and
// counts as ingestion) in transactions of many records, so a 10-million-line
// store takes minutes rather than hours.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/quiet_machine.h"
#include "client/core/wire_protocol.h"
#include "store/store_location.h"
#include "store/sql_connection.h"
#include "testkit/keep_alive_client.h"
#include "testkit/log_text.h"
#include "testkit/raw_http.h"
#include "testkit/service_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace zandle;

constexpr std::string_view kToken = "bench-token-0123456789";
constexpr std::int64_t kDayMs = 86'400'000;
constexpr std::int64_t kFillBatch = 20'000;
// Lines moved into the side table by tool at a time, as the writer does under load.
constexpr std::int64_t kToolIndexSlice = 65'536;

struct Settings {
  std::string serviceBinary;
  std::string store;
  std::vector<std::int64_t> sizes{1'000'000};
  int tools = 1000;
  int users = 50'000;
  double ingestSeconds = 3;
  std::vector<int> connections{32};  // WriteLog clients, a run each
  std::int64_t exportRows = 1'000'000;  // rows read to measure an export's rate
};

// Pages and exports that did not answer 200; the run then ends with status 1.
int failures = 0;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string toolName(int i) { return "Tool" + std::to_string(i); }

struct Stored {
  std::int64_t lines = 0, sessions = 0, answers = 0;
};

// Adds records up to `lines` log lines, `lines / 10` sessions and `lines / 20`
// answers; returns what the store then holds (more after earlier runs' WriteLog).
Stored fill(service::Database& store, std::int64_t lines, const Settings& settings, std::int64_t now) {
  service::SqlConnection& sql = *store.sqlConnection();
  const auto count = [&](const char* table) {
    return std::stoll(sql.run(std::string("SELECT COUNT(*) FROM ") + table).rows.at(0).at(0).value_or("0"));
  };
  std::int64_t haveLines = count("log_lines"), haveSessions = count("sessions"), haveAnswers = count("satisfaction");
  std::mt19937_64 random(static_cast<std::uint64_t>(haveLines) + 17);
  testkit::LogTextMaker texts(static_cast<std::uint64_t>(haveLines) + 29);
  const auto pick = [&](std::int64_t n) { return static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(n)); };
  // Records arrive in time order over the 90 days, as they would: a transaction's
  // records then share their half hours, as a live batch's do.
  const std::int64_t first = haveLines, span = std::max<std::int64_t>(1, lines - haveLines);
  const auto moment = [&] {
    const std::int64_t at = now - 90 * kDayMs + (haveLines - first) * (90 * kDayMs) / span;
    return std::min(now, at + pick(60'000));
  };
  // Tools are used unevenly: a few much, most a little.
  const auto tool = [&] {
    const double u = std::uniform_real_distribution<double>(0, 1)(random);
    return static_cast<int>(std::pow(u, 2.0) * settings.tools);
  };
  const auto version = [&](int t) { return "1." + std::to_string(pick(1 + t % 3)); };
  const auto started = Clock::now();
  std::int64_t written = 0;
  while (haveLines < lines) {
    store.begin();
    for (std::int64_t i = 0; i < kFillBatch && haveLines < lines; ++i) {
      const int t = tool();
      const std::string model = toolName(t), ver = version(t);
      const auto uin = static_cast<std::int32_t>(1 + pick(settings.users));
      const std::string text = texts.next();
      const std::int64_t levels[] = {0, 1, 1, 2, 2, 2, 2, 3, 3, 3};
      store.insertLogLine({uin, static_cast<std::int32_t>(levels[pick(10)]), model, ver, text, text, {moment(), "10.1.2.3"}});
      ++haveLines;
      if (haveSessions * 10 < haveLines) {
        const std::int64_t entered = moment();
        const auto id = store.openSession({uin, model, std::nullopt, ver, model + "," + ver, {entered, "10.1.2.3"}});
        if (pick(10) < 9) store.closeSession({id, {entered + 1000 * (1 + pick(7200)), "10.1.2.3"}});
        ++haveSessions;
      }
      if (haveAnswers * 20 < haveLines) {
        const char* functions[] = {"Print", "Save", "Export"};
        store.insertSatisfaction({uin, static_cast<std::int32_t>(1 + pick(3)), model, ver, functions[pick(3)],
                                  model + "," + ver, "NULL", {moment(), "10.1.2.3"}});
        ++haveAnswers;
      }
      ++written;
    }
    store.commit();
    if (written % 1'000'000 < kFillBatch) {
      std::fprintf(stderr, "  filled %lld lines (%.0f lines/s)\n", static_cast<long long>(haveLines),
                   static_cast<double>(written) / seconds(Clock::now() - started));
    }
  }
  // The service fills the side table by tool and the text index as it goes or while idle: as it
  // would have by now (a store from before them, whole). PostgreSQL's text index follows the side table.
  const auto byTool = Clock::now();
  std::int64_t slices = 0;
  while (store.indexToolLines(kToolIndexSlice)) ++slices;
  std::fprintf(stderr, "  lines by tool caught up in %.1f s (%lld slices)\n", seconds(Clock::now() - byTool),
               static_cast<long long>(slices));
  const auto indexing = Clock::now();
  for (bool more = true; more;) {
    store.begin();
    more = store.indexText(kFillBatch);
    store.commit();
  }
  std::fprintf(stderr, "  text index caught up in %.0f s\n", seconds(Clock::now() - indexing));
  return {haveLines, haveSessions, haveAnswers};
}

double middleOf(std::vector<double> three) {
  std::sort(three.begin(), three.end());
  return three[1];
}

// Milliseconds to the whole reply, median of three.
double pageMs(std::uint16_t port, const std::string& target) {
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    const testkit::HttpReply reply = testkit::getWithToken(port, target, kToken);
    times.push_back(seconds(Clock::now() - start) * 1000);
    if (reply.status != 200) {
      std::fprintf(stderr, "  %s: HTTP %d\n", target.c_str(), reply.status);
      ++failures;
    }
  }
  return middleOf(times);
}

struct ExportTiming {
  double firstByteMs = 0;
  double rowsPerSecond = 0;
  std::int64_t rows = 0;
};

// Reads an export up to `maxRows` lines: time to its first byte and its rate.
ExportTiming exportTiming(std::uint16_t port, const std::string& target, std::int64_t maxRows) {
  ExportTiming timing;
  const int fd = testkit::connectLoopback(port);
  if (fd < 0) return timing;
  const auto start = Clock::now();
  testkit::sendAll(fd, "GET " + target + " HTTP/1.0\r\nAuthorization: Bearer " + std::string(kToken) + "\r\n\r\n");
  char buffer[1 << 16];
  bool first = true;
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 30'000) <= 0) break;
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    if (first) timing.firstByteMs = seconds(Clock::now() - start) * 1000;
    first = false;
    timing.rows += std::count(buffer, buffer + got, '\n');
    if (timing.rows >= maxRows) break;
  }
  timing.rowsPerSecond = static_cast<double>(timing.rows) / seconds(Clock::now() - start);
  if (timing.rows == 0) ++failures;
  close(fd);
  return timing;
}

// The median first byte and the median rate of three reads of the export.
ExportTiming medianExportTiming(std::uint16_t port, const std::string& target, std::int64_t maxRows) {
  std::vector<ExportTiming> runs;
  for (int i = 0; i < 3; ++i) runs.push_back(exportTiming(port, target, maxRows));
  const auto middle = [&](auto field) {
    std::vector<double> values;
    for (const ExportTiming& run : runs) values.push_back(run.*field);
    return middleOf(values);
  };
  return {middle(&ExportTiming::firstByteMs), middle(&ExportTiming::rowsPerSecond), runs[1].rows};
}

double writeLogRate(std::uint16_t port, const Settings& settings, int connections) {
  const std::string expected = std::string(wire::kIntStartTag) + "1</int>";
  std::atomic<std::uint64_t> succeeded{0};
  const auto end = Clock::now() + std::chrono::duration<double>(settings.ingestSeconds);
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int t = 0; t < connections; ++t) {
    threads.emplace_back([&, t] {
      testkit::KeepAliveClient connection(port);
      testkit::LogTextMaker texts(static_cast<std::uint64_t>(t));
      // Tools of the filled store, a different one for each client.
      const std::string head = "strLoginUIN=" + std::to_string(1000 + t) + "&strLogInfo=" +
                               toolName(t * 31 % settings.tools) + ",1.0[benchmark ";
      while (Clock::now() < end) {
        const auto reply = connection.call(wire::kMethodWriteLog, head + texts.next() + "]&nLogLevel=1");
        if (reply.status == 200 && reply.body.find(expected) != std::string::npos) ++succeeded;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  return static_cast<double>(succeeded) / seconds(Clock::now() - start);
}

std::unique_ptr<testkit::ServiceProcess> startService(const Settings& settings, const std::string& store) {
  return testkit::ServiceProcess::start(settings.serviceBinary, {"--store", store, "--token", std::string(kToken)});
}

void measure(const Settings& settings, const Stored& stored, const std::vector<double>& noStoreRates) {
  auto service = startService(settings, settings.store);
  const std::uint16_t port = service->port();
  // What the last run's WriteLog left for the service's idle time (blocks,
  // errors' index, counts) is done first: it slowed the pages by half. It
  // starts a moment after the service answers, so a whole second must pass idle.
  const auto settling = Clock::now();
  for (double used = -1; seconds(Clock::now() - settling) < 300;) {
    const double now = bench::processCpuSeconds(service->pid());
    if (used >= 0 && now - used < 0.05) break;
    used = now;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  bench::waitUntilQuiet(30);  // PostgreSQL's side of it
  std::fprintf(stderr, "  service settled in %.0f s\n", seconds(Clock::now() - settling));
  const std::string rare = "&tool=" + toolName(settings.tools - 1);
  const std::pair<const char*, std::string> pages[] = {
      {"overview, 90 days", "/?range=90d"},
      {"overview, 30 days", "/?range=30d"},
      {"overview, 24 hours", "/?range=24h"},
      {"overview, 90 days, New York", "/?range=90d&tz=America%2FNew_York"},
      {"overview, 90 days, Kolkata", "/?range=90d&tz=Asia%2FKolkata"},
      {"one tool, 90 days", "/?range=90d&tool=Tool0"},
      {"a rare tool, 90 days", "/?range=90d" + rare},
      {"log lines, 30 days", "/logs?range=30d"},
      {"log lines, level 0, 30 days", "/logs?range=30d&level=0"},
      {"log lines, a rare tool, 30 days", "/logs?range=30d" + rare},
      {"log lines with a search term, 30 days", "/logs?range=30d&q=checksum"},
      {"log lines, one tool, a common term", "/logs?range=30d&tool=Tool5&q=timeout"},
      {"log lines, rare tool, common term, 90 days", "/logs?range=90d&q=Tahoma" + rare},
      {"log lines, a common term, 90 days", "/logs?range=90d&q=timeout"},
      // Too short for the text indexes, and in few lines.
      {"log lines, a two-letter term, 90 days", "/logs?range=90d&q=qz"},
      // Only the level-1 lines of earlier runs' WriteLog hold it.
      {"log lines, level 2, a term of other levels", "/logs?range=90d&level=2&q=benchmark"},
      {"recent errors with a search term", "/?range=30d&q=checksum"},
      {"recent errors, a common term, 90 days", "/?range=90d&q=timeout"},
      // Only the lines of earlier runs' WriteLog hold it, none of them an error.
      {"recent errors, a term of other levels", "/?range=30d&q=benchmark"},
      {"tools", "/tools"},
      {"summary.json", "/export/summary.json?range=90d"},
  };
  std::printf("\n%lld log lines, %lld sessions, %lld answers (%s)\n", static_cast<long long>(stored.lines),
              static_cast<long long>(stored.sessions), static_cast<long long>(stored.answers),
              settings.store.starts_with("sqlite:") ? "SQLite" : "PostgreSQL");
  std::printf("%-42s %10s\n", "page (median of 3)", "ms");
  for (const auto& [name, target] : pages) std::printf("%-42s %10.1f\n", name, pageMs(port, target));
  std::printf("%-42s %12s %12s %10s\n", "export (median of 3)", "first byte ms", "rows/s", "rows read");
  const std::pair<const char*, const char*> exports[] = {
      {"logs.csv, 90 days", "logs.csv?range=90d"},
      {"sessions.csv, 90 days", "sessions.csv?range=90d"},
      {"satisfaction.csv, 90 days", "satisfaction.csv?range=90d"},
      {"logs.csv, a search term, 30 days", "logs.csv?range=30d&q=checksum"},
      {"logs.csv, a common term, 30 days", "logs.csv?range=30d&q=timeout"},
      // Only lines of the WriteLog runs hold it: none in a new store.
      {"logs.csv, a term found late, 30 days", "logs.csv?range=30d&q=benchmark"},
      {"logs.csv, level 2, a term of other levels", "logs.csv?range=30d&level=2&q=benchmark"},
      {"logs.csv, a large tool, a sparse term", "logs.csv?range=90d&tool=Tool0&q=Tahoma"},
      {"logs.csv, a two-letter term, 90 days", "logs.csv?range=90d&q=qz"},
  };
  for (const auto& [name, target] : exports) {
    const ExportTiming timing = medianExportTiming(port, std::string("/export/") + target, settings.exportRows);
    std::printf("%-42s %12.1f %12.0f %10lld\n", name, timing.firstByteMs, timing.rowsPerSecond,
                static_cast<long long>(timing.rows));
  }
  for (std::size_t i = 0; i < settings.connections.size(); ++i) {
    const double rate = writeLogRate(port, settings, settings.connections[i]);
    if (rate == 0) ++failures;
    const double noStoreRate = noStoreRates[i];
    std::printf("WriteLog, keep-alive, %d clients: %.0f durable reports/s, %.2f x no store (%.0f/s)\n",
                settings.connections[i], rate, noStoreRate > 0 ? rate / noStoreRate : 0, noStoreRate);
  }
  std::fflush(stdout);
  service->terminate();
}

void usage() {
  std::printf(
      "zandle-bench-scale --store sqlite:PATH|postgresql://... [options]\n"
      "  --sizes N[,N...]   log lines to fill up to, in turn (default 1000000)\n"
      "  --tools N          tools (default 1000)\n"
      "  --users N          users (default 50000)\n"
      "  --seconds S        WriteLog load per size (default 3)\n"
      "  --connections N[,N...]  WriteLog clients, a run with each (default 32)\n"
      "  --export-rows N    rows of each export read for its rate (default 1000000)\n"
      "  --service PATH     zandle-service (default: beside this program)\n"
      "The store is kept: a later run goes on from what it holds.\n");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Settings settings;
    settings.serviceBinary = (std::filesystem::absolute(argv[0]).parent_path() / "zandle-service").string();
    for (int i = 1; i < argc; ++i) {
      const std::string flag = argv[i];
      if (flag == "--help" || flag == "-h") {
        usage();
        return 0;
      }
      if (i + 1 >= argc) throw std::invalid_argument("missing value for " + flag);
      const std::string value = argv[++i];
      if (flag == "--store") settings.store = value;
      else if (flag == "--service") settings.serviceBinary = value;
      else if (flag == "--tools") settings.tools = std::max(1, std::stoi(value));
      else if (flag == "--users") settings.users = std::max(1, std::stoi(value));
      else if (flag == "--seconds") settings.ingestSeconds = std::clamp(std::stod(value), 0.2, 60.0);
      else if (flag == "--connections") {
        settings.connections.clear();
        std::stringstream list(value);
        for (std::string item; std::getline(list, item, ',');) {
          settings.connections.push_back(std::clamp(std::stoi(item), 1, 512));
        }
        if (settings.connections.empty()) throw std::invalid_argument("--connections needs a number");
      }
      else if (flag == "--export-rows") settings.exportRows = std::max<std::int64_t>(1, std::stoll(value));
      else if (flag == "--sizes") {
        settings.sizes.clear();
        std::stringstream list(value);
        for (std::string item; std::getline(list, item, ',');) settings.sizes.push_back(std::stoll(item));
      } else {
        throw std::invalid_argument("unknown option " + flag);
      }
    }
    if (settings.store.empty()) throw std::invalid_argument("--store is needed");
    std::vector<double> noStoreRates;
    {
      auto none = startService(settings, "none");
      for (int connections : settings.connections) {
        noStoreRates.push_back(writeLogRate(none->port(), settings, connections));
      }
      none->terminate();
    }
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    for (std::int64_t size : settings.sizes) {
      Stored stored;
      {
        const auto started = Clock::now();
        auto store = service::StoreLocation::parse(settings.store).open(true);
        stored = fill(*store, size, settings, now);
        std::fprintf(stderr, "  filled to %lld lines in %.0f s\n", static_cast<long long>(size),
                     seconds(Clock::now() - started));
      }
      measure(settings, stored, noStoreRates);
    }
    return failures == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "zandle-bench-scale: " << error.what() << "\n";
    return 1;
  }
}
