// The workers behind the exports: one report each, from arguments and state to a
// form body, a service call and a result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zandle::client {

inline constexpr std::size_t kUtf8ScratchBytes = 4096;
inline constexpr std::size_t kUtf8ValueMaxBytes = kUtf8ScratchBytes - 3;  // 4094 with the terminator

// Local-code-page text to UTF-8, in one of three rotating static buffers: a result stays
// valid until the third following call. Null gives "".
const char* ToUtf8(const char* text) noexcept;

// Null model name or version count as empty. Returns m_szAppInfo, or null on failure.
const wchar_t* DoGetAppInfo(const char* modelName, const char* modelVersion, std::int32_t loginUin) noexcept;
std::int32_t DoUserEnter(std::int32_t loginUin, const char* extraText) noexcept;
std::int32_t DoUserLeave(std::int32_t loginDetailId) noexcept;
std::int32_t DoWriteLog(std::int32_t loginUin, std::int32_t logLevel, const char* logText) noexcept;
std::int32_t DoSatisfaction(std::int32_t loginUin, const char* functionName, const std::wstring& surveyLink,
                            int* levelOut) noexcept;
std::int32_t ReportSatisfaction(std::int32_t level) noexcept;

}  // namespace zandle::client
