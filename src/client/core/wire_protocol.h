// Wire format shared by the client and the reference service.
#pragma once

#include <string_view>

namespace zandle::wire {

// Namespace URI of the reply elements; the client searches for it letter by letter.
inline constexpr std::string_view kServiceNamespace = "http://tempuri.org/WriteLogWeb";
inline constexpr std::string_view kObjectPathPrefix = "/WriteLogWeb/WriteLogWeb.asmx/";
inline constexpr std::string_view kContentTypeHeader = "Content-Type: application/x-www-form-urlencoded";
inline constexpr std::string_view kHttpVersion = "HTTP/1.0";

inline constexpr std::string_view kMethodGetAppInfo = "GetAppInfo";
inline constexpr std::string_view kMethodUserEnter = "UserEnter";
inline constexpr std::string_view kMethodUserLeave = "UserLeave";
inline constexpr std::string_view kMethodWriteLog = "WriteLog";
inline constexpr std::string_view kMethodSatisfaction = "Satisfaction";

// The line `zandle-cli check` sends at level 0, the one level every new tool's warning level
// lets through. The service keeps it under a level of its own, so a health check is no error.
inline constexpr std::string_view kHealthCheckLogText = "zandle-cli check: health check, not an error";

// Start tags as the client matches them: no other attribute, no whitespace.
inline constexpr std::string_view kIntStartTag = "<int xmlns=\"http://tempuri.org/WriteLogWeb\">";
inline constexpr std::string_view kStringStartTag = "<string xmlns=\"http://tempuri.org/WriteLogWeb\">";
static_assert(kIntStartTag.substr(12, kServiceNamespace.size()) == kServiceNamespace);
static_assert(kStringStartTag.substr(15, kServiceNamespace.size()) == kServiceNamespace);

}  // namespace zandle::wire
