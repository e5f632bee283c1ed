#include "client/transport.h"

#include <windows.h>
#include <wininet.h>

#include "client/core/server_address.h"
#include "client/core/wire_protocol.h"
#include "client/zandle_app.h"
#include "framework/code_page.h"
#include "framework/handles.h"
#include "framework/module.h"

namespace zandle::client {
namespace {

constexpr UINT kAppTitleStringId = 57344;  // AFX_IDS_APP_TITLE
constexpr DWORD_PTR kContext = 1;

std::wstring AgentName() {
  const HINSTANCE module = fw::ThisModule();
  const wchar_t* title = nullptr;
  const int n = ::LoadStringW(module, kAppTitleStringId, reinterpret_cast<LPWSTR>(&title), 0);
  if (n > 0 && title) return std::wstring(title, static_cast<std::size_t>(n));
  return fw::ModuleBaseName(module);
}

// Set on the root handle, from which Windows hands them down to every child handle.
// Wine does not hand them down (a silent server then blocks forever), so they are set
// again on the connection and on the request; on Windows that changes nothing.
void SetTimeouts(HINTERNET handle) noexcept {
  DWORD timeout = kTimeoutMs;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                       INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
    ::InternetSetOptionW(handle, option, &timeout, sizeof(timeout));
  }
}

// Windows has no status before the request is sent and fails the query with one of
// these; Wine answers 0. Both mean "no status yet", which passes.
bool IsNoStatusYet(DWORD error) noexcept {
  return error == ERROR_HTTP_HEADER_NOT_FOUND || error == ERROR_INTERNET_INCORRECT_HANDLE_STATE;
}

bool PreSendStatusAllows(HINTERNET request) noexcept {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    return IsNoStatusYet(::GetLastError());
  }
  return status == 0 || (status >= 200 && status <= 299);
}

void SetNetError() noexcept { g_bNetError = 1; }

void Exchange(const ServerAddress& address, std::wstring_view objectPath, std::string_view body,
              std::string& reply) {
  // The 32-bit count (GetTickCount64 is Vista's): unsigned differences survive its wrap.
  const DWORD started = ::GetTickCount();
  fw::UniqueInternetHandle root(
      ::InternetOpenW(AgentName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!root) return SetNetError();
  SetTimeouts(root.get());

  const std::wstring host(fw::AsWide(address.host));
  fw::UniqueInternetHandle connection(::InternetConnectW(root.get(), host.c_str(), address.port, nullptr, nullptr,
                                                         INTERNET_SERVICE_HTTP, 0, kContext));
  if (!connection) return SetNetError();
  SetTimeouts(connection.get());

  const std::wstring path(objectPath);
  const std::wstring version(wire::kHttpVersion.begin(), wire::kHttpVersion.end());
  fw::UniqueInternetHandle request(::HttpOpenRequestW(connection.get(), L"POST", path.c_str(), version.c_str(),
                                                      nullptr, nullptr, INTERNET_FLAG_EXISTING_CONNECT, kContext));
  if (!request) return;  // not an exchange error: nothing was attempted
  SetTimeouts(request.get());
  if (!PreSendStatusAllows(request.get())) return;

  const std::wstring header(wire::kContentTypeHeader.begin(), wire::kContentTypeHeader.end());
  if (!::HttpSendRequestW(request.get(), header.c_str(), static_cast<DWORD>(header.size()),
                          const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
    return SetNetError();
  }
  ::Sleep(kPauseAfterSendMs);

  // InternetReadFile blocks until its buffer is full, so a service that sends a byte now
  // and then could hold it for ever: read only what has arrived, and watch the deadline.
  char chunk[kReadChunkBytes];
  for (;;) {
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(request.get(), &available, 0, 0)) return SetNetError();
    if (available == 0) break;
    DWORD read = 0;
    if (!::InternetReadFile(request.get(), chunk, available < sizeof(chunk) ? available : sizeof(chunk), &read)) {
      return SetNetError();
    }
    if (read < 1) break;
    reply.append(chunk, read);
    const DWORD elapsed = ::GetTickCount() - started;
    if (reply.size() >= kMaxReplyBytes || elapsed >= kExchangeDeadlineMs) return SetNetError();
    ::Sleep(kPauseAfterChunkMs);
  }
}

}  // namespace

std::string PostForm(std::wstring_view server, std::wstring_view objectPath, std::string_view body) {
  std::string reply;
  ServerAddress address;
  // A server setting that names no reachable endpoint fails like an unresolvable host.
  if (!ParseServerAddress(fw::AsU16(server), address)) {
    SetNetError();
    return reply;
  }
  Exchange(address, objectPath, body, reply);
  return reply;
}

}  // namespace zandle::client
