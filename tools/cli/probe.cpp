#include "probe.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "client/core/wire_protocol.h"
#include "framework/code_page.h"

namespace zandle::cli {
namespace {

constexpr std::size_t kMaxReplyBytes = 1 << 20;  // what Zandle.dll reads at most
constexpr std::int64_t kWholeReplyMs = 25000;     // and how long it waits for all of it

struct WinsockInit {
  WinsockInit() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockInit() { ::WSACleanup(); }
};

class Socket {
 public:
  explicit Socket(SOCKET s = INVALID_SOCKET) : s_(s) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (s_ != INVALID_SOCKET) ::closesocket(s_);
  }
  SOCKET get() const { return s_; }
  SOCKET release() {
    const SOCKET s = s_;
    s_ = INVALID_SOCKET;
    return s;
  }

 private:
  SOCKET s_;
};

std::wstring FromUtf8(const std::string& bytes) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  return text;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// At most `limit` characters on one line, for quoting what a server sent.
std::wstring Excerpt(const std::string& bytes, std::size_t limit) {
  std::string line;
  for (char c : bytes) {
    const bool space = c == '\r' || c == '\n' || c == '\t';
    if (space && (line.empty() || line.back() == ' ')) continue;
    line += space ? ' ' : c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::wstring text = FromUtf8(line);
  if (text.size() > limit) text = text.substr(0, limit) + L"...";
  return text;
}

bool IsRefused(int error) { return error == WSAECONNREFUSED; }

// A connected socket, or INVALID_SOCKET with the error of the last address tried
// (WSAETIMEDOUT when none answered within the time-out).
SOCKET Connect(const addrinfoW* addresses, int& error) {
  error = WSAEHOSTUNREACH;
  for (const addrinfoW* a = addresses; a; a = a->ai_next) {
    Socket s(::socket(a->ai_family, a->ai_socktype, a->ai_protocol));
    if (s.get() == INVALID_SOCKET) {
      error = ::WSAGetLastError();
      continue;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s.get(), FIONBIO, &nonBlocking);
    if (::connect(s.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 &&
        ::WSAGetLastError() != WSAEWOULDBLOCK) {
      error = ::WSAGetLastError();
      continue;
    }
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s.get(), &writable);
    FD_SET(s.get(), &failed);
    timeval timeout{kPhaseTimeoutMs / 1000, (kPhaseTimeoutMs % 1000) * 1000};
    if (::select(0, nullptr, &writable, &failed, &timeout) <= 0) {
      error = WSAETIMEDOUT;
      continue;
    }
    int soError = 0, size = sizeof(soError);
    ::getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &size);
    if (FD_ISSET(s.get(), &failed) || soError != 0) {
      error = soError ? soError : WSAECONNREFUSED;
      continue;
    }
    nonBlocking = 0;
    ::ioctlsocket(s.get(), FIONBIO, &nonBlocking);
    DWORD ms = kPhaseTimeoutMs;
    ::setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
    ::setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
    return s.release();
  }
  return INVALID_SOCKET;
}

ProbeResult Network(std::wstring cause) { return {ProbeOutcome::kNetworkFault, std::move(cause), {}}; }
ProbeResult Http(std::wstring cause) { return {ProbeOutcome::kHttpFault, std::move(cause), {}}; }

std::wstring HtmlTitle(const std::string& body) {
  const std::string lower = Lower(body);
  const auto open = lower.find("<title");
  if (open == std::string::npos) return L"";
  const auto start = lower.find('>', open);
  const auto end = lower.find("</title", open);
  if (start == std::string::npos || end == std::string::npos || end < start) return L"";
  return Excerpt(body.substr(start + 1, end - start - 1), 60);
}

// A complete reply: status, then whether the body holds what Zandle.dll looks for.
ProbeResult Classify(const std::string& reply, const ProbeRequest& request, const std::wstring& hop,
                     const std::wstring& path, bool viaProxy) {
  if (reply.rfind("HTTP/", 0) != 0) {
    return Http(L"a reply that is not HTTP from " + hop + L" (\"" + Excerpt(reply, 40) + L"\")");
  }
  auto headEnd = reply.find("\r\n\r\n");
  std::size_t bodyStart = headEnd == std::string::npos ? reply.size() : headEnd + 4;
  if (headEnd == std::string::npos && (headEnd = reply.find("\n\n")) != std::string::npos) bodyStart = headEnd + 2;
  const std::string head = reply.substr(0, std::min(headEnd, reply.size()));
  const std::string body = reply.substr(bodyStart);

  const std::string statusLine = head.substr(0, head.find_first_of("\r\n"));
  const auto space = statusLine.find(' ');
  const int status = space == std::string::npos ? 0 : std::atoi(statusLine.c_str() + space + 1);
  const std::wstring statusText = L"HTTP " + Excerpt(space == std::string::npos ? "" : statusLine.substr(space + 1), 60);
  if (status == 407 && viaProxy) return Http(hop + L" asks for a user name and password (" + statusText + L")");
  if (status < 200 || status > 299) return Http(statusText + L" from " + hop + L" for " + path);

  const std::string_view tag = request.textReply ? wire::kStringStartTag : wire::kIntStartTag;
  if (body.find(tag) != std::string::npos) return {ProbeOutcome::kServiceReply, hop + L" gave the service's reply", {}};
  if (body.empty()) return Http(statusText + L" with an empty body from " + hop);
  const std::string lowerBody = Lower(body);
  const std::string type = Lower(head);
  if (type.find("content-type: text/html") != std::string::npos || lowerBody.find("<html") != std::string::npos ||
      lowerBody.find("<!doctype html") != std::string::npos) {
    const std::wstring title = HtmlTitle(body);
    return Http(L"HTML page" + (title.empty() ? L"" : L" (\"" + title + L"\")") +
                L" instead of the service's XML from " + hop);
  }
  const std::wstring wideTag(tag.begin(), tag.end());
  if (body.find('<') != std::string::npos) {
    return Http(L"XML without the service's element " + wideTag + L" from " + hop + L" (\"" + Excerpt(body, 60) +
                L"\")");
  }
  return Http(L"a reply that is not the service's XML from " + hop + L" (\"" + Excerpt(body, 40) + L"\")");
}

ProbeResult Exchange(const ProbeRequest& request, const Route& route, const std::wstring& hop) {
  static WinsockInit winsock;
  const std::wstring& hopHost = route.viaProxy ? route.proxyHost : request.host;
  const std::uint16_t hopPort = route.viaProxy ? route.proxyPort : request.port;

  addrinfoW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfoW* addresses = nullptr;
  if (const int error = ::GetAddrInfoW(hopHost.c_str(), std::to_wstring(hopPort).c_str(), &hints, &addresses)) {
    const std::wstring what = (route.viaProxy ? L"proxy name \"" : L"name \"") + hopHost + L"\" not resolved";
    if (error == WSAHOST_NOT_FOUND || error == WSANO_DATA) return Network(what);
    return Network(what + L" (error " + std::to_wstring(error) + L")");
  }
  int error = 0;
  Socket s(Connect(addresses, error));
  ::FreeAddrInfoW(addresses);
  if (s.get() == INVALID_SOCKET) {
    if (IsRefused(error)) return Network(L"connection refused by " + hop);
    if (error == WSAETIMEDOUT) {
      return Network(L"time-out: " + hop + L" did not take the connection within the client's " +
                     std::to_wstring(kPhaseTimeoutMs) + L" ms; gave up");
    }
    return Network(hop + L" unreachable (network error " + std::to_wstring(error) + L")");
  }

  const std::string path = std::string(wire::kObjectPathPrefix) + request.method;
  const std::string authority = fw::Narrow(HostPort(request.host, request.port), CP_UTF8);
  // WinINet leaves the default port out of the Host header.
  const std::string host = request.port == 80 ? authority.substr(0, authority.rfind(':')) : authority;
  std::string message = "POST " + (route.viaProxy ? "http://" + host + path : path) + " HTTP/1.0\r\n";
  message += "Host: " + host + "\r\nUser-Agent: zandle-cli\r\n" + std::string(wire::kContentTypeHeader) + "\r\n";
  message += "Content-Length: " + std::to_string(request.body.size()) + "\r\n\r\n" + request.body;
  for (std::size_t sent = 0; sent < message.size();) {
    const int n = ::send(s.get(), message.data() + sent, static_cast<int>(message.size() - sent), 0);
    if (n <= 0) return Network(hop + L" broke off while taking the request (network error " +
                               std::to_wstring(::WSAGetLastError()) + L")");
    sent += static_cast<std::size_t>(n);
  }

  const auto started = ::GetTickCount64();
  std::string reply;
  char chunk[4096];
  for (;;) {
    const int n = ::recv(s.get(), chunk, sizeof(chunk), 0);
    if (n == 0) break;
    if (n < 0) {
      const int e = ::WSAGetLastError();
      const std::wstring limit = std::to_wstring(kPhaseTimeoutMs);
      if (e == WSAETIMEDOUT && reply.empty()) {
        return Network(L"time-out: " + hop + L" took the request and stayed silent for the client's " + limit +
                       L" ms; gave up");
      }
      if (e == WSAETIMEDOUT) {
        return Network(L"time-out: " + hop + L" sent " + std::to_wstring(reply.size()) +
                       L" bytes, then nothing for the client's " + limit + L" ms; gave up");
      }
      if (e == WSAECONNRESET || e == WSAECONNABORTED) {
        return Network(hop + L" reset the connection " +
                       (reply.empty() ? L"without replying" : L"after " + std::to_wstring(reply.size()) + L" bytes"));
      }
      return Network(hop + L" broke off the reply (network error " + std::to_wstring(e) + L")");
    }
    reply.append(chunk, static_cast<std::size_t>(n));
    if (reply.size() > kMaxReplyBytes) return Network(hop + L" sent a reply of more than 1 MiB, which the client refuses");
    if (static_cast<std::int64_t>(::GetTickCount64() - started) > kWholeReplyMs) {
      return Network(L"time-out: " + hop + L" was still sending after 25 s, which the client refuses");
    }
  }
  if (reply.empty()) return Network(hop + L" closed the connection without replying");
  return Classify(reply, request, hop, std::wstring(path.begin(), path.end()), route.viaProxy);
}

}  // namespace

std::wstring HostPort(const std::wstring& host, std::uint16_t port) {
  const bool v6 = host.find(L':') != std::wstring::npos;
  return (v6 ? L"[" + host + L"]" : host) + L":" + std::to_wstring(port);
}

ProbeResult Probe(const ProbeRequest& request, const Route& route) {
  const std::wstring hop = route.viaProxy ? L"proxy " + route.proxyName + L" (WinINet's configured proxy)"
                                          : HostPort(request.host, request.port);
  ProbeResult result = Exchange(request, route, hop);
  result.hop = hop;
  return result;
}

}  // namespace zandle::cli
