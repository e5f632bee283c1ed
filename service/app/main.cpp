// zandle-service: the statistics web service, its dashboard and its store.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <iostream>
#include <thread>

#include "app/admin_commands.h"
#include "app/retention.h"
#include "app/service_monitor.h"
#include "app/service_options.h"
#include "app/service_router.h"
#include "common/clock.h"
#include "common/logger.h"
#include "dashboard/dashboard_handler.h"
#include "http/http_server.h"
#include "ingest/ingestion_handler.h"
#include "ingest/rate_limiter.h"
#include "store/sql_schema.h"
#include "store/store_location.h"
#include "store/store_worker.h"
#include "store/text_search.h"
#include "store/tool_index.h"

namespace zandle::service {
namespace {

constexpr std::size_t kDescriptorsKeptBack = 64;
constexpr double kLeaveFailureBurst = 10;
// Log lines added to the text index at a time when the writer is idle (some 20 ms).
constexpr std::int64_t kTextIndexSlice = 500;
// Log lines added to the side table by tool at a time when the writer is idle.
constexpr std::int64_t kToolIndexSlice = 8'192;
// PostgreSQL's indexer looks this often whether the writer's idle time has
// left too many lines out of the text index (searches read those directly),
// and then fills for up to this long, this many lines to a transaction.
constexpr std::chrono::seconds kTextIndexEvery{1};
constexpr std::int64_t kIndexerTextLag = 50'000;
constexpr std::chrono::milliseconds kTextIndexRun{500};
constexpr std::int64_t kPostgresTextSlice = 8'192;

// The first line of the file; errors name the file and the cause.
std::string readTokenFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot read token file " + path + ": " + std::strerror(errno));
  std::string text;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int cause = errno;
      ::close(fd);
      throw std::runtime_error("cannot read token file " + path + ": " + std::strerror(cause));
    }
    text.append(chunk, static_cast<std::size_t>(got));
    if (got == 0 || text.find('\n') != std::string::npos) break;
  }
  ::close(fd);
  std::string token = text.substr(0, text.find('\n'));
  if (!token.empty() && token.back() == '\r') token.pop_back();
  if (token.empty()) throw std::runtime_error("token file " + path + " has no token on its first line");
  return token;
}

// Thousands of connections need thousands of descriptors.
std::size_t raiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  getrlimit(RLIMIT_NOFILE, &limit);
  return static_cast<std::size_t>(limit.rlim_cur);
}

int serve(const ServiceOptions& options) {
  std::string token;
  if (options.token) {
    token = *options.token;
  } else if (options.tokenFile) {
    token = readTokenFile(*options.tokenFile);
  } else {
    token = AccessToken::generate();
    logInfo("dashboard token: " + token);
  }
  AccessToken accessToken(token);  // refuses a short one before anything starts
  const StoreLocation location = StoreLocation::parse(options.store);

  // Signals are taken by one thread with sigwait; every other thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const std::size_t descriptors = raiseDescriptorLimit();
  StoreWorker writer(location.open(true), StoreWorkerMode::GroupCommit, "store writer");
  StoreWorker reader(location.open(false), StoreWorkerMode::OneByOne, "store reader");
  scheduleRetention(writer, {options.retainLogDays > 0 ? options.retainLogDays : options.retainDays, options.retainDays});
  // New log lines reach the side table by tool and the text index when the
  // writer has nothing else to do, a slice of some milliseconds at a time.
  writer.setIdleTask([](Database& database) {
    bool more = database.indexToolLines(kToolIndexSlice);
    database.begin();
    more = database.indexText(kTextIndexSlice) || more;
    database.commit();
    return more;
  });
  // A large PostgreSQL store's indexes are built on a connection of its own,
  // so neither requests nor writes wait for them.
  std::unique_ptr<StoreWorker> indexer;
  if (location.kind == StoreKind::Postgres) {
    indexer = std::make_unique<StoreWorker>(location.open(false), StoreWorkerMode::OneByOne, "store indexer");
    // It also fills the text index when the writer has had too little idle
    // time for it (a busy service, or a store from before the side table).
    indexer->setPeriodicTask(kTextIndexEvery, [listsDue = std::chrono::steady_clock::time_point{},
                                               oldIndexesGone = false](Database& database) mutable {
      SqlConnection* sql = database.sqlConnection();
      if (!sql) return false;
      const auto now = std::chrono::steady_clock::now();
      bool moreText = false;
      while (textIndexLag(*sql) > kIndexerTextLag && std::chrono::steady_clock::now() < now + kTextIndexRun) {
        database.begin();
        moreText = database.indexText(kPostgresTextSlice);
        database.commit();
        if (!moreText) break;
      }
      if (now >= listsDue) {
        while (buildListIndex(*sql)) {
        }
        listsDue = now + std::chrono::hours(1);
      }
      // Until the side tables have caught up, the indexes they replace are kept, and looked at again soon.
      if (!oldIndexesGone) {
        const bool textIndexKept = retireRowTextIndex(*sql);
        const bool toolIndexKept = !retireToolTimeIndex(*sql) && toolTimeIndexKept(*sql);
        oldIndexesGone = !textIndexKept && !toolIndexKept;
      }
      return moreText;
    });
  }

  FailureLimiter leaveFailures(options.leaveFailureRate, kLeaveFailureBurst);
  IngestionHandler ingestion(writer, leaveFailures);
  DashboardHandler dashboard(reader, writer, std::move(accessToken), DashboardLimits{},
                             AccessSettings{options.sessionSeconds * std::int64_t{1000}, options.trustedProxies});
  const double burst = options.rateBurst > 0 ? options.rateBurst : std::max(10.0, options.rateLimit * 2);
  RateLimiter limiter(options.rateLimit, burst);
  ServiceMonitor monitor(options.accessLog);
  ServiceRouter router({ingestion, dashboard, limiter, monitor, writer, reader});
  router.setMetricsListener(options.metricsListen.has_value());

  ServerSettings settings;
  settings.requestLimits.maxBodyBytes = options.maxBodyBytes;
  settings.requestLimits.bodyLimit = &bodyLimitFor;
  settings.observer = &monitor;
  settings.headTimeoutMs = options.headTimeoutMs;
  settings.requestTimeoutMs = options.requestTimeoutMs;
  settings.maxConnections =
      std::min(options.maxConnections, descriptors > kDescriptorsKeptBack ? descriptors - kDescriptorsKeptBack : 1);
  // Refusals are answered with the descriptors the table leaves over.
  const std::size_t spare = descriptors > kDescriptorsKeptBack + settings.maxConnections
                                ? descriptors - kDescriptorsKeptBack - settings.maxConnections
                                : 0;
  settings.maxRefusedOpen = std::min(settings.maxRefusedOpen, spare);
  settings.maxConnectionsPerAddress = options.maxConnectionsPerAddress;
  settings.reservedConnections = options.reservedConnections.value_or(settings.maxConnections / 10);
  HttpServer server(settings, [&router](HttpRequest&& request, Responder respond) {
    router.handle(std::move(request), respond);
  });
  router.setServer(&server);
  const std::string bound = server.listen(options.listen);
  if (options.metricsListen) {
    logInfo("metrics on " + server.listenSecond(*options.metricsListen));
  }
  logInfo("store: " + location.describe() + "; serving at most " + std::to_string(settings.maxConnections) +
          " connections, " + std::to_string(settings.maxConnectionsPerAddress) + " per address");
  std::cout << "listening on " << bound << std::endl;

  std::thread signalWaiter([&server, stopSignals] {
    int received = 0;
    sigwait(&stopSignals, &received);
    logInfo(std::string("stopping on ") + (received == SIGTERM ? "SIGTERM" : "SIGINT"));
    server.stop();
  });
  server.run();
  signalWaiter.join();
  writer.stop();
  reader.stop();
  const StoreWorkerStats stats = writer.stats();
  logInfo("stopped; " + std::to_string(stats.jobs) + " writes in " + std::to_string(stats.transactions) +
          " transactions, " + std::to_string(stats.failures) + " failed");
  return 0;
}

}  // namespace
}  // namespace zandle::service

int main(int argc, char** argv) {
  using namespace zandle::service;
  try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const auto status = runAdminCommand(arguments)) return *status;
    const ServiceOptions options = ServiceOptions::parse(arguments);
    if (options.help) {
      std::cout << ServiceOptions::usage();
      return 0;
    }
    return serve(options);
  } catch (const std::invalid_argument& error) {
    std::cerr << "zandle-service: " << error.what() << "\n" << ServiceOptions::usage();
    return 2;
  } catch (const std::exception& error) {
    logError(error.what());
    return 1;
  }
}
