// The module this code is linked into, and its side-by-side activation context.
#pragma once

#include <windows.h>

#include <string>

namespace zandle::fw {

HINSTANCE ThisModule() noexcept;

// The module's file name without directory and extension.
std::wstring ModuleBaseName(HINSTANCE module);

// Activates the module's manifest (resource 2) for the lifetime of the scope, so that
// windows and common controls created inside resolve against it and not the host's.
class ModuleActivationScope {
 public:
  ModuleActivationScope() noexcept;
  ModuleActivationScope(const ModuleActivationScope&) = delete;
  ModuleActivationScope& operator=(const ModuleActivationScope&) = delete;
  ~ModuleActivationScope();

 private:
  ULONG_PTR cookie_ = 0;
  bool active_ = false;
};

}  // namespace zandle::fw
