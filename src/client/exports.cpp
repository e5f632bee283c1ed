// The eleven exports: narrow the wide texts into static buffers, call the worker.
#include <windows.h>

#include <cstring>

#define ZANDLE_API
#include "zandle.h"

#include "client/reports.h"
#include "client/zandle_app.h"
#include "framework/code_page.h"
#include "framework/guarded.h"
#include "framework/module.h"

using namespace zandle;
using namespace zandle::client;

namespace {

constexpr std::size_t kConversionBufferBytes = kExportBufferBytes;

char g_appInfoResult[kConversionBufferBytes];
char g_modelNameBuffer[kConversionBufferBytes];
char g_versionBuffer[kConversionBufferBytes];
char g_surveyFunctionBuffer[kConversionBufferBytes];

// Null stays null; anything else is converted (cut at a character boundary) into `buffer`.
const char* NarrowInto(char (&buffer)[kConversionBufferBytes], const wchar_t* text) {
  if (!text) return nullptr;
  fw::CopyAnsiTruncated(buffer, sizeof(buffer), fw::Narrow(text, CP_ACP));
  return buffer;
}

// Each export's one exception boundary, inside the module's activation context.
template <typename Result, typename Call>
Result Guarded(Result failure, Call call) noexcept {
  return fw::Guarded(failure, [&] {
    const fw::ModuleActivationScope activation;
    return call();
  });
}

void SetServer(std::wstring server, const bool hasServer, unsigned int options) {
  g_nOptionFlags = options;
  if (hasServer) g_strServer = std::move(server);
}

}  // namespace

extern "C" {

void __stdcall SetServerA(const char* server, unsigned int options) noexcept {
  Guarded(0, [&] {
    SetServer(server ? fw::Widen(server, CP_THREAD_ACP) : std::wstring(), server != nullptr, options);
    return 0;
  });
}

void __stdcall SetServerW(const wchar_t* server, unsigned int options) noexcept {
  Guarded(0, [&] {
    SetServer(server ? std::wstring(server) : std::wstring(), server != nullptr, options);
    return 0;
  });
}

const char* __stdcall getAppInfoA(int loginUin, const char* modelName, const char* modelVersion) noexcept {
  return Guarded<const char*>(nullptr, [&]() -> const char* {
    const wchar_t* text = DoGetAppInfo(modelName, modelVersion, loginUin);
    std::memset(g_appInfoResult, 0, sizeof(g_appInfoResult));
    if (!text) return nullptr;
    fw::CopyAnsiTruncated(g_appInfoResult, sizeof(g_appInfoResult), fw::Narrow(text, CP_ACP));
    return g_appInfoResult[0] ? g_appInfoResult : nullptr;
  });
}

const wchar_t* __stdcall getAppInfoW(int loginUin, const wchar_t* modelName, const wchar_t* modelVersion) noexcept {
  return Guarded<const wchar_t*>(nullptr, [&] {
    return DoGetAppInfo(NarrowInto(g_modelNameBuffer, modelName), NarrowInto(g_versionBuffer, modelVersion),
                        loginUin, modelName);
  });
}

int __stdcall UserEnterA(int loginUin, const char* extraText) noexcept {
  return Guarded(-1, [&] { return DoUserEnter(loginUin, extraText ? ToUtf8(extraText) : nullptr); });
}

int __stdcall UserEnterW(int loginUin, const wchar_t* extraText) noexcept {
  // Wide texts go to the service as UTF-8 straight from UTF-16: nothing the local code
  // page lacks is lost.
  return Guarded(-1, [&] { return DoUserEnter(loginUin, extraText ? WideToUtf8(extraText) : nullptr); });
}

int __stdcall UserLeave(int loginDetailId) noexcept {
  return Guarded(0, [&] { return DoUserLeave(loginDetailId); });
}

int __stdcall WriteLogA(int loginUin, int logLevel, const char* logText) noexcept {
  return Guarded(0, [&] { return DoWriteLog(loginUin, logLevel, ToUtf8(logText)); });
}

int __stdcall WriteLogW(int loginUin, int logLevel, const wchar_t* logText) noexcept {
  return Guarded(0, [&] { return DoWriteLog(loginUin, logLevel, WideToUtf8(logText)); });
}

int __stdcall SatisfactionA(int loginUin, const char* functionName, const char* surveyLink, int* levelOut) noexcept {
  return Guarded(0, [&] {
    const std::wstring link = surveyLink ? fw::Widen(surveyLink, CP_THREAD_ACP) : std::wstring();
    return DoSatisfaction(loginUin, functionName, nullptr, link, levelOut);
  });
}

int __stdcall SatisfactionW(int loginUin, const wchar_t* functionName, const wchar_t* surveyLink,
                            int* levelOut) noexcept {
  return Guarded(0, [&] {
    const std::wstring link = surveyLink ? std::wstring(surveyLink) : std::wstring();
    return DoSatisfaction(loginUin, NarrowInto(g_surveyFunctionBuffer, functionName), functionName, link, levelOut);
  });
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) noexcept {
  if (reason == DLL_PROCESS_ATTACH) return theApp.InitInstance() ? TRUE : FALSE;
  return TRUE;
}

}  // extern "C"
