// The workers behind the exports: one report each, from arguments and state to a
// form body, a service call and a result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zandle::client {

inline constexpr std::size_t kUtf8ScratchBytes = 4096;
// The exports' conversion buffers, terminator included: a wide text is cut where
// narrowing it into one of them would cut it.
inline constexpr std::size_t kExportBufferBytes = 1024;
inline constexpr std::size_t kUtf8ValueMaxBytes = kUtf8ScratchBytes - 3;  // 4094 with the terminator

// Local-code-page text to UTF-8, in one of three rotating static buffers: a result stays
// valid until the third following call. Null gives "".
const char* ToUtf8(const char* text);

// A wide export's text to UTF-8, straight from UTF-16, cut where the export's buffer
// would cut its narrowed form; same rotating buffers as ToUtf8. Null gives "".
const char* WideToUtf8(const wchar_t* text);

// The workers take texts in the local code page as the state keeps them, and what goes
// to the service as UTF-8. `modelNameW` and `functionNameW`, when a wide export was
// called, are the names as given (the local forms may have lost characters).
// Null model name or version count as empty. Returns m_szAppInfo, or null on failure.
const wchar_t* DoGetAppInfo(const char* modelName, const char* modelVersion, std::int32_t loginUin,
                            const wchar_t* modelNameW = nullptr);
// A null extra text leaves the field out.
std::int32_t DoUserEnter(std::int32_t loginUin, const char* extraUtf8);
std::int32_t DoUserLeave(std::int32_t loginDetailId);
std::int32_t DoWriteLog(std::int32_t loginUin, std::int32_t logLevel, const char* textUtf8);
std::int32_t DoSatisfaction(std::int32_t loginUin, const char* functionName, const wchar_t* functionNameW,
                            const std::wstring& surveyLink, int* levelOut);
// Under the function of the latest survey request.
std::int32_t ReportSatisfaction(std::int32_t level);
// Under the function of the survey the level was picked in.
std::int32_t ReportSatisfactionFor(std::int32_t level, const std::wstring& functionName);

}  // namespace zandle::client
