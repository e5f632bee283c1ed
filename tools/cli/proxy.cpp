#include "proxy.h"

#include <windows.h>
#include <wininet.h>

#include <cwchar>
#include <cwctype>
#include <vector>

#include "framework/handles.h"

namespace zandle::cli {
namespace {

// INTERNET_PROXY_INFO as InternetQueryOptionW fills it, whatever UNICODE says.
struct ProxyInfoW {
  DWORD accessType;
  const wchar_t* proxy;
  const wchar_t* bypass;
};

std::vector<std::wstring> Split(const std::wstring& list, const wchar_t* separators) {
  std::vector<std::wstring> items;
  std::wstring item;
  for (wchar_t c : list + L";") {
    if (std::wcschr(separators, c)) {
      if (!item.empty()) items.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  return items;
}

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// "*" stands for any run of characters, as in WinINet's bypass entries.
bool Matches(const wchar_t* pattern, const wchar_t* text) {
  if (*pattern == 0) return *text == 0;
  if (*pattern == L'*') return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
  return *text && *pattern == *text && Matches(pattern + 1, text + 1);
}

bool IsLoopback(const std::wstring& host) {
  const std::wstring h = Lower(host);
  return h == L"localhost" || h == L"::1" || h.rfind(L"127.", 0) == 0;
}

bool RunsOnWine() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

bool Bypassed(const std::wstring& host, std::uint16_t port, const std::wstring& bypassList) {
  const std::wstring h = Lower(host);
  const std::wstring withPort = h + L":" + std::to_wstring(port);
  bool loopbackToProxy = RunsOnWine();  // Windows sends loopback direct unless told "<-loopback>"
  for (const std::wstring& raw : Split(bypassList, L"; \t,")) {
    const std::wstring entry = Lower(raw);
    if (entry == L"<-loopback>") loopbackToProxy = true;
    else if (entry == L"<local>" ? h.find(L'.') == std::wstring::npos && h.find(L':') == std::wstring::npos
                                 : Matches(entry.c_str(), h.c_str()) || Matches(entry.c_str(), withPort.c_str())) {
      return true;
    }
  }
  return IsLoopback(host) && !loopbackToProxy;
}

// "http=a:1;https=b:2" or "a:1" or "http://a:1/": the entry that serves plain HTTP.
bool PickHttpProxy(const std::wstring& list, Route& route) {
  std::wstring chosen;
  for (const std::wstring& entry : Split(list, L"; \t")) {
    const auto equals = entry.find(L'=');
    if (equals == std::wstring::npos) {
      if (chosen.empty()) chosen = entry;
    } else if (Lower(entry.substr(0, equals)) == L"http") {
      chosen = entry.substr(equals + 1);
      break;
    }
  }
  if (Lower(chosen).rfind(L"http://", 0) == 0) chosen.erase(0, 7);
  while (!chosen.empty() && chosen.back() == L'/') chosen.pop_back();
  if (chosen.empty()) return false;

  route.proxyName = chosen;
  std::wstring host = chosen;
  const auto close = host.rfind(L']');
  const auto colon = host.rfind(L':');
  if (colon != std::wstring::npos && (close == std::wstring::npos || colon > close)) {
    route.proxyPort = static_cast<std::uint16_t>(std::wcstoul(host.c_str() + colon + 1, nullptr, 10));
    host.resize(colon);
  }
  if (host.size() >= 2 && host.front() == L'[' && host.back() == L']') host = host.substr(1, host.size() - 2);
  route.proxyHost = host;
  return true;
}

}  // namespace

Route FindRoute(const std::wstring& host, std::uint16_t port) {
  Route route;
  fw::UniqueInternetHandle session(::InternetOpenW(L"zandle-cli", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return route;
  DWORD size = 0;
  ::InternetQueryOptionW(session.get(), INTERNET_OPTION_PROXY, nullptr, &size);
  if (size < sizeof(ProxyInfoW)) return route;
  std::vector<unsigned char> buffer(size);
  if (!::InternetQueryOptionW(session.get(), INTERNET_OPTION_PROXY, buffer.data(), &size)) return route;
  const auto* info = reinterpret_cast<const ProxyInfoW*>(buffer.data());
  if (info->accessType != INTERNET_OPEN_TYPE_PROXY || !info->proxy) return route;
  if (Bypassed(host, port, info->bypass ? info->bypass : L"")) return route;
  route.viaProxy = PickHttpProxy(info->proxy, route);
  return route;
}

}  // namespace zandle::cli
