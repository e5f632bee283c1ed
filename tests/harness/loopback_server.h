// A programmable HTTP server on 127.0.0.1 for the client tests: records every request
// byte for byte and answers as the test says (replies, silence, cut connections).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zandle::test {

struct HttpRequest {
  std::string requestLine;  // "POST /path HTTP/1.0"
  std::string method, path, version;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string Header(const std::string& name) const;  // case-insensitive; "" when absent
  std::string Method() const;                          // last path segment
};

struct HttpReply {
  // Trickle and Flood send the body, then keep sending filler (a space every 200 ms, or
  // 64 KiB blocks) until the client goes away; no Content-Length.
  enum class Kind { Answer, NeverAnswer, CloseWithoutAnswer, CutAfter, Trickle, Flood };
  Kind kind = Kind::Answer;
  int status = 200;
  std::string contentType = "text/xml; charset=utf-8";
  std::string body;
  std::size_t cutAfterBodyBytes = 0;  // CutAfter: send this much of the body, then close
};

// Envelopes as the service writes them.
std::string IntReplyBody(std::int32_t value);
std::string StringReplyBody(const std::string& utf8Text);  // escapes & < >
std::string AppInfoReplyBody(int warningLevel, const std::string& functionNamesUtf8);

class LoopbackServer {
 public:
  using Responder = std::function<HttpReply(const HttpRequest&)>;

  // Binds a free port on 127.0.0.1 (or ::1 with ipv6) and starts serving.
  explicit LoopbackServer(bool ipv6 = false);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t Port() const { return port_; }
  std::wstring Address() const;  // "127.0.0.1:port" or "[::1]:port"

  void SetResponder(Responder responder);
  std::vector<HttpRequest> Requests() const;
  std::vector<std::string> MethodsCalled() const;
  int ConnectionCount() const { return connections_.load(); }
  void ClearRequests();

  // Default answers: 1 for the integer methods, an AppInfo for GetAppInfo.
  static HttpReply DefaultReply(const HttpRequest& request);

 private:
  void AcceptLoop();
  void Serve(std::uintptr_t socket);

  std::uintptr_t listener_ = ~std::uintptr_t{0};
  std::uint16_t port_ = 0;
  bool ipv6_ = false;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  Responder responder_;
  std::vector<HttpRequest> requests_;
  std::thread acceptThread_;
  std::vector<std::thread> workers_;
};

}  // namespace zandle::test
