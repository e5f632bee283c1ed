#include "loopback_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <chrono>

namespace zandle::test {
namespace {

constexpr char kNamespace[] = "http://tempuri.org/WriteLogWeb";
constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out.push_back(c);
  }
  return out;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

struct WinsockInit {
  WinsockInit() { WSADATA data; WSAStartup(MAKEWORD(2, 2), &data); }
};

bool SendAll(SOCKET s, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Waits up to `ms` for readable data; false on timeout.
bool WaitReadable(SOCKET s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &tv) > 0;
}

bool ReadRequest(SOCKET s, const std::atomic<bool>& stopping, HttpRequest& request) {
  std::string data;
  std::size_t headerEnd = std::string::npos;
  std::size_t contentLength = 0;
  char buffer[4096];
  for (;;) {
    if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + contentLength) break;
    if (stopping) return false;
    if (!WaitReadable(s, 100)) continue;
    const int n = recv(s, buffer, sizeof(buffer), 0);
    if (n <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(n));
    if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
      std::size_t lineEnd = data.find("\r\n");
      request.requestLine = data.substr(0, lineEnd);
      std::size_t pos = lineEnd + 2;
      while (pos < headerEnd) {
        const std::size_t end = data.find("\r\n", pos);
        const std::string line = data.substr(pos, end - pos);
        const std::size_t colon = line.find(':');
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.headers.emplace_back(line.substr(0, colon), value);
        pos = end + 2;
      }
      const std::string length = request.Header("Content-Length");
      contentLength = length.empty() ? 0 : std::stoul(length);
    }
  }
  request.body = data.substr(headerEnd + 4, contentLength);
  const std::size_t sp1 = request.requestLine.find(' ');
  const std::size_t sp2 = request.requestLine.rfind(' ');
  request.method = request.requestLine.substr(0, sp1);
  request.path = request.requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
  request.version = request.requestLine.substr(sp2 + 1);
  return true;
}

std::string StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (Lower(key) == Lower(name)) return value;
  return {};
}

std::string HttpRequest::Method() const { return path.substr(path.rfind('/') + 1); }

std::string IntReplyBody(std::int32_t value) {
  return std::string(kXmlDeclaration) + "<int xmlns=\"" + kNamespace + "\">" + std::to_string(value) + "</int>";
}

std::string StringReplyBody(const std::string& utf8Text) {
  return std::string(kXmlDeclaration) + "<string xmlns=\"" + kNamespace + "\">" + Escape(utf8Text) + "</string>";
}

std::string AppInfoReplyBody(int warningLevel, const std::string& functionNamesUtf8) {
  return StringReplyBody("<AppInfo><WarningLevel>" + std::to_string(warningLevel) + "</WarningLevel><FunName>" +
                         functionNamesUtf8 + "</FunName></AppInfo>");
}

HttpReply LoopbackServer::DefaultReply(const HttpRequest& request) {
  HttpReply reply;
  reply.body = request.Method() == "GetAppInfo" ? AppInfoReplyBody(-1, "Print,Save") : IntReplyBody(1);
  return reply;
}

LoopbackServer::LoopbackServer(bool ipv6) : ipv6_(ipv6), responder_(&LoopbackServer::DefaultReply) {
  static WinsockInit winsock;
  const SOCKET s = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (ipv6) {
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_addr = in6addr_loopback;
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    int len = sizeof(addr);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin6_port);
  } else {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    int len = sizeof(addr);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  listen(s, SOMAXCONN);
  listener_ = s;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  closesocket(static_cast<SOCKET>(listener_));
  acceptThread_.join();
  for (auto& worker : workers_) worker.join();
}

std::wstring LoopbackServer::Address() const {
  const std::wstring port = std::to_wstring(port_);
  return ipv6_ ? L"[::1]:" + port : L"127.0.0.1:" + port;
}

void LoopbackServer::SetResponder(Responder responder) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(responder);
}

std::vector<HttpRequest> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> LoopbackServer::MethodsCalled() const {
  std::vector<std::string> methods;
  for (const auto& r : Requests()) methods.push_back(r.Method());
  return methods;
}

void LoopbackServer::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

void LoopbackServer::AcceptLoop() {
  while (!stopping_) {
    if (!WaitReadable(static_cast<SOCKET>(listener_), 100)) continue;
    const SOCKET client = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, client] { Serve(client); });
  }
}

void LoopbackServer::Serve(std::uintptr_t socketValue) {
  const SOCKET s = static_cast<SOCKET>(socketValue);
  HttpRequest request;
  if (ReadRequest(s, stopping_, request)) {
    Responder responder;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      responder = responder_;
    }
    const HttpReply reply = responder(request);
    if (reply.kind == HttpReply::Kind::NeverAnswer) {
      // Hold the connection open until the client gives up or the server stops.
      char sink[256];
      while (!stopping_) {
        if (WaitReadable(s, 100) && recv(s, sink, sizeof(sink), 0) <= 0) break;
      }
    } else if (reply.kind == HttpReply::Kind::Trickle || reply.kind == HttpReply::Kind::Flood) {
      const bool flood = reply.kind == HttpReply::Kind::Flood;
      const std::string filler = flood ? std::string(64 * 1024, ' ') : std::string(" ");
      std::string head = "HTTP/1.0 200 OK\r\nContent-Type: " + reply.contentType + "\r\n\r\n" + reply.body;
      bool open = SendAll(s, head);
      while (open && !stopping_) {
        if (!flood) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        open = SendAll(s, filler);
      }
    } else if (reply.kind == HttpReply::Kind::Answer || reply.kind == HttpReply::Kind::CutAfter) {
      std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + StatusText(reply.status) + "\r\n";
      head += "Content-Type: " + reply.contentType + "\r\n";
      head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
      head += "Connection: close\r\n\r\n";
      const std::string body =
          reply.kind == HttpReply::Kind::CutAfter ? reply.body.substr(0, reply.cutAfterBodyBytes) : reply.body;
      SendAll(s, head + body);
    }
  }
  shutdown(s, SD_SEND);
  closesocket(s);
}

}  // namespace zandle::test
