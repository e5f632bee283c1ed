#include "client/identity_lookup.h"

#include <windows.h>
#include <ole2.h>

#include "client/core/parse_int.h"
#include "client/zandle_app.h"
#include "framework/code_page.h"
#include "framework/com.h"
#include "zandle_identity.h"

namespace zandle::client {
namespace {

constexpr DWORD kAllServerContexts = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
                                     CLSCTX_REMOTE_SERVER;  // 23
static_assert(kAllServerContexts == 23);

// The provider's account text, or empty when it cannot be had.
std::wstring QueryAccount() {
  fw::ComPtr<IUnknown> unknown;
  if (FAILED(::CoCreateInstance(CLSID_ZandleIdentity, nullptr, kAllServerContexts, IID_IUnknown,
                                unknown.put_void()))) {
    return {};
  }
  if (FAILED(::OleRun(unknown.get()))) return {};
  fw::ComPtr<IZandleIdentity> identity;
  if (FAILED(unknown->QueryInterface(IID_IZandleIdentity, identity.put_void()))) return {};
  unknown.reset();

  fw::UniqueBstr account;
  if (FAILED(identity->GetAccount(account.put())) || !account.get()) return {};
  return std::wstring(account.get(), account.length());
}

std::int32_t UinFromAccount(const std::wstring& account) {
  // Through the 256-byte narrow copy in the process code page, as the account is read.
  char narrow[kAccountCopyBytes];
  fw::CopyAnsiTruncated(narrow, sizeof(narrow), fw::Narrow(account, CP_ACP, WC_COMPOSITECHECK));
  return ParseAccountUin(fw::AsU16(fw::Widen(narrow, CP_THREAD_ACP)));
}

}  // namespace

std::int32_t LookupLoginUIN() {
  if (theApp.m_nLoginUIN != 0) return theApp.m_nLoginUIN;
  const fw::ComInitScope com(COINIT_MULTITHREADED);
  const std::wstring account = QueryAccount();
  if (!account.empty()) theApp.m_nLoginUIN = UinFromAccount(account);
  return theApp.m_nLoginUIN;
}

std::int32_t ResolveLoginUin(std::int32_t loginUin) {
  if (loginUin == 0) loginUin = LookupLoginUIN();
  theApp.m_nLoginUIN = loginUin;
  return loginUin;
}

}  // namespace zandle::client
