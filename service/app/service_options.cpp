#include "app/service_options.h"

#include <charconv>
#include <stdexcept>

#include "dashboard/access_token.h"
#include "http/socket_address.h"

namespace zandle::service {
namespace {

template <typename Number>
Number numberArgument(const std::string& flag, const std::string& text, Number lowest, Number highest) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) {
    throw std::invalid_argument(flag + " takes a number from " + std::to_string(lowest) + " to " +
                                std::to_string(highest));
  }
  return value;
}

}  // namespace

const char* ServiceOptions::usage() {
  return "usage: zandle-service [options]\n"
         "  --listen HOST:PORT        address to serve on (default 127.0.0.1:8080; port 0 picks one)\n"
         "  --store STORE             sqlite:PATH (default sqlite:zandle.db), postgresql://..., or none\n"
         "  --token TOKEN             dashboard token, 16 characters at least; visible in ps, so prefer --token-file\n"
         "                            (default: a random one, printed on stderr)\n"
         "  --token-file PATH         read the dashboard token from the first line of a file\n"
         "  --max-body BYTES          largest request body accepted (default 65536)\n"
         "  --max-connections N       open connections at most (default 10000)\n"
         "  --max-connections-per-address N\n"
         "                            open connections from one address (an IPv6 /64) at most; users behind\n"
         "                            one NAT share it (default 2500)\n"
         "  --reserved-connections N  of --max-connections, the last N only for addresses holding fewer than 16\n"
         "                            (default: a tenth of --max-connections)\n"
         "  --head-timeout-ms MS      time a client has to send the request line and headers (default 5000)\n"
         "  --request-timeout-ms MS   time a client has to send a whole request, body included (default 10000)\n"
         "  --rate-limit N            requests per second per client address to the web methods (default 0: off)\n"
         "  --rate-burst N            requests a client may send at once (default: twice the rate, at least 10)\n"
         "  --leave-failure-rate N    UserLeave calls for unknown login detail ids allowed per second per client\n"
         "                            address after the first 10; more get 429 (default 1; 0: off)\n"
         "  --retain-days N           delete sessions, answers and log lines older than N days (default 0: keep)\n"
         "  --retain-logs-days N      delete log lines older than N days, whatever --retain-days says\n"
         "  --session-seconds N       a dashboard sign-in lasts N seconds (default 43200)\n"
         "  --metrics-listen HOST:PORT\n"
         "                            serve /metrics (and /healthz) without a token on this address only;\n"
         "                            otherwise /metrics takes the dashboard token (/healthz never does)\n"
         "  --access-log PATH|-       one line per request (time, address, method, path, status, bytes,\n"
         "                            duration) appended to PATH, or on stderr for \"-\" (default: none)\n"
         "  --trusted-proxy ADDRESS   a proxy whose X-Forwarded-Proto and X-Forwarded-For are believed;\n"
         "                            sign-in cookies are marked Secure when it says https (repeatable)\n";
}

ServiceOptions ServiceOptions::parse(const std::vector<std::string>& arguments) {
  ServiceOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& flag = arguments[i];
    if (flag == "--help" || flag == "-h") {
      options.help = true;
      continue;
    }
    if (i + 1 >= arguments.size()) throw std::invalid_argument(flag + " needs a value, or is unknown");
    const std::string& value = arguments[++i];
    if (flag == "--listen") {
      std::string host, port;
      splitListenAddress(value, host, port);  // refuses ports the resolver would wrap
      options.listen = value;
    } else if (flag == "--metrics-listen") {
      std::string host, port;
      splitListenAddress(value, host, port);
      options.metricsListen = value;
    } else if (flag == "--access-log") {
      options.accessLog = value;
    } else if (flag == "--store") {
      options.store = value;
    } else if (flag == "--token") {
      if (value.size() < AccessToken::kMinimumLength) {
        throw std::invalid_argument("--token needs at least " + std::to_string(AccessToken::kMinimumLength) +
                                    " characters");
      }
      options.token = value;
    } else if (flag == "--trusted-proxy") {
      options.trustedProxies.push_back(value);
    } else if (flag == "--session-seconds") {
      options.sessionSeconds = numberArgument<int>(flag, value, 1, 366 * 24 * 3600);
    } else if (flag == "--token-file") {
      options.tokenFile = value;
    } else if (flag == "--max-body") {
      options.maxBodyBytes = numberArgument<std::size_t>(flag, value, 1, 64 * 1024 * 1024);
    } else if (flag == "--max-connections") {
      options.maxConnections = numberArgument<std::size_t>(flag, value, 1, 1'000'000);
    } else if (flag == "--max-connections-per-address") {
      options.maxConnectionsPerAddress = numberArgument<std::size_t>(flag, value, 1, 1'000'000);
    } else if (flag == "--reserved-connections") {
      options.reservedConnections = numberArgument<std::size_t>(flag, value, 0, 1'000'000);
    } else if (flag == "--head-timeout-ms") {
      options.headTimeoutMs = numberArgument<int>(flag, value, 100, 3'600'000);
    } else if (flag == "--request-timeout-ms") {
      options.requestTimeoutMs = numberArgument<int>(flag, value, 100, 3'600'000);
    } else if (flag == "--rate-limit") {
      options.rateLimit = numberArgument<double>(flag, value, 0, 1e9);
    } else if (flag == "--rate-burst") {
      options.rateBurst = numberArgument<double>(flag, value, 0, 1e9);
    } else if (flag == "--leave-failure-rate") {
      options.leaveFailureRate = numberArgument<double>(flag, value, 0, 1e9);
    } else if (flag == "--retain-days") {
      options.retainDays = numberArgument<int>(flag, value, 0, 100'000);
    } else if (flag == "--retain-logs-days") {
      options.retainLogDays = numberArgument<int>(flag, value, 0, 100'000);
    } else {
      throw std::invalid_argument("unknown option " + flag);
    }
  }
  return options;
}

}  // namespace zandle::service
