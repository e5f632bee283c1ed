// WriteLog round trips against a loopback service, beside the mandated 10 ms pause
// after sending and a bare socket exchange with the same service.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "zandle_dll.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 200;
constexpr double kMandatedPauseMs = 10.0;

struct Stats {
  double median, mean, p99;
};

Stats Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  return {ms[ms.size() / 2], sum / ms.size(), ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

// One HTTP/1.0 POST over a plain socket, read to the end.
double RawExchangeMs(std::uint16_t port, const std::string& body) {
  const auto start = Clock::now();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  const std::string request = "POST /WriteLogWeb/WriteLogWeb.asmx/WriteLog HTTP/1.0\r\n"
                              "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\n\r\n" + body;
  send(s, request.data(), static_cast<int>(request.size()), 0);
  char buffer[4096];
  while (recv(s, buffer, sizeof(buffer), 0) > 0) {
  }
  closesocket(s);
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  zandle::test::LoopbackServer server;
  zandle::test::ZandleDll dll;
  dll.SetServerW(server.Address().c_str(), 0);
  if (!dll.getAppInfoA(7, "Bench", "1.0")) {
    std::puts("the loopback service did not answer");
    return 1;
  }

  std::vector<double> writeLog, raw;
  const std::string body = "strLoginUIN=7&strLogInfo=Bench,1.0[round trip]&nLogLevel=0";
  for (int i = 0; i < kRounds; ++i) {  // interleaved, so both see the same machine
    const auto start = Clock::now();
    if (dll.WriteLogA(7, 0, "round trip") != 1) {
      std::puts("WriteLog failed");
      return 1;
    }
    writeLog.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    raw.push_back(RawExchangeMs(server.Port(), body));
  }

  const Stats w = Summarise(writeLog);
  const Stats r = Summarise(raw);
  std::printf("WriteLog round trip over %d rounds (loopback service)\n", kRounds);
  std::printf("  WriteLog via Zandle.dll : median %.2f ms, mean %.2f ms, p99 %.2f ms\n", w.median, w.mean, w.p99);
  std::printf("  bare socket exchange    : median %.2f ms, mean %.2f ms, p99 %.2f ms\n", r.median, r.mean, r.p99);
  std::printf("  mandated pause          : %.2f ms\n", kMandatedPauseMs);
  std::printf("  ratio WriteLog / mandated pause      : %.2f\n", w.median / kMandatedPauseMs);
  std::printf("  share of the round trip in the pause : %.0f %%\n", 100.0 * kMandatedPauseMs / w.median);
  std::printf("  ratio WriteLog / bare socket exchange: %.1f\n", w.median / r.median);
  return 0;
}
