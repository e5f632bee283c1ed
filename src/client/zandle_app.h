// The library's application object and the other process-wide state of the client.
#pragma once

#include <cstdint>
#include <string>

#include "client/core/app_info.h"

namespace zandle::client {

inline constexpr std::size_t kAppInfoUnits = 1024;
inline constexpr std::size_t kAppInfoMaxChars = 1021;
inline constexpr std::size_t kNarrowFieldBytes = 256;
inline constexpr std::uint32_t kOptionEcho = 0x1;

class CZandleApp {
 public:
  CZandleApp() noexcept;
  // Nothing beyond the defaults: OLE is left to the host, the identity lookup
  // initialises COM for itself.
  bool InitInstance() noexcept { return true; }

  wchar_t m_szAppInfo[kAppInfoUnits];
  std::int32_t m_nWarningLevel = 0;
  FunctionNameSet m_mapFunName;
  std::int32_t m_nLoginUIN = 0;
  char m_szModelName[kNarrowFieldBytes];
  char m_szModelVer[kNarrowFieldBytes];
  char m_szSatisFunName[kNarrowFieldBytes];
  std::wstring m_strSatisLink;
  // The model and survey function names as the host gave them: what a wide export was
  // given, or the local-code-page names widened. Bodies and the survey title use these,
  // so that characters the local code page lacks are not lost.
  std::wstring m_strModelNameW;
  std::wstring m_strSatisFunNameW;
};

extern CZandleApp theApp;
extern std::wstring g_strServer;
extern std::uint32_t g_nOptionFlags;
extern std::int32_t g_bNetError;

inline bool EchoEnabled() noexcept { return (g_nOptionFlags & kOptionEcho) != 0; }

}  // namespace zandle::client
