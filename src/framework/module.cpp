#include "framework/module.h"

#include "framework/handles.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace zandle::fw {
namespace {

constexpr WORD kModuleManifestResource = 2;  // ISOLATIONAWARE_MANIFEST_RESOURCE_ID

HANDLE ModuleActivationContext() noexcept {
  // Created on first use and released at unload; null when the module has no
  // manifest, in which case the host's context stays in force.
  static UniqueActCtx context = [] {
    // Older Windows versions want the image path even when the module handle is given.
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(ThisModule(), path, MAX_PATH);
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
    request.lpSource = path;
    request.hModule = ThisModule();
    request.lpResourceName = MAKEINTRESOURCEW(kModuleManifestResource);
    const HANDLE created = ::CreateActCtxW(&request);
    return UniqueActCtx(created == INVALID_HANDLE_VALUE ? nullptr : created);
  }();
  return context.get();
}

}  // namespace

HINSTANCE ThisModule() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::wstring ModuleBaseName(HINSTANCE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring name(path, n < MAX_PATH ? n : 0);
  if (const auto slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
  if (const auto dot = name.rfind(L'.'); dot != std::wstring::npos) name.erase(dot);
  return name;
}

ModuleActivationScope::ModuleActivationScope() noexcept {
  const HANDLE context = ModuleActivationContext();
  if (context) active_ = ::ActivateActCtx(context, &cookie_) != FALSE;
}

ModuleActivationScope::~ModuleActivationScope() {
  if (active_) ::DeactivateActCtx(0, cookie_);
}

}  // namespace zandle::fw
