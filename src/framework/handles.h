// Handle kinds of modules, WinINet and activation contexts.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "framework/unique_handle.h"

namespace zandle::fw {

using UniqueModule = UniqueHandle<HMODULE, &::FreeLibrary>;
using UniqueInternetHandle = UniqueHandle<HINTERNET, &::InternetCloseHandle>;
// CreateActCtxW's INVALID_HANDLE_VALUE is kept as null.
using UniqueActCtx = UniqueHandle<HANDLE, &::ReleaseActCtx>;

}  // namespace zandle::fw
