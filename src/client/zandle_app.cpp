#include "client/zandle_app.h"

#include <cstring>

namespace zandle::client {
namespace {
// Loopback, so that a host that never names its server talks to nobody else.
constexpr wchar_t kDefaultServer[] = L"127.0.0.1";
}  // namespace

CZandleApp::CZandleApp() noexcept {
  std::memset(m_szAppInfo, 0, sizeof(m_szAppInfo));
  std::memset(m_szModelName, 0, sizeof(m_szModelName));
  std::memset(m_szModelVer, 0, sizeof(m_szModelVer));
  std::memset(m_szSatisFunName, 0, sizeof(m_szSatisFunName));
}

// Construction order matters: the application object first, then the server.
CZandleApp theApp;
std::wstring g_strServer = kDefaultServer;
std::uint32_t g_nOptionFlags = 0;
std::int32_t g_bNetError = 0;

}  // namespace zandle::client
