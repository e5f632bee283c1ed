/* Zandle.dll: usage statistics and satisfaction surveys for desktop tools.
 *
 * Link with Zandle.lib (or libZandle.dll.a), or load Zandle.dll and bind the exports by
 * name or by ordinal (1 to 11, in the order below). All functions use __stdcall.
 * Narrow ("A") texts are in the process's ANSI code page, wide ("W") texts UTF-16.
 *
 * Call sequence: SetServer (optional), getAppInfo once at start (names the tool and
 * fetches its configuration), UserEnter when work starts, WriteLog and Satisfaction
 * as often as needed, UserLeave with UserEnter's id when work stops. Call from one
 * thread at a time; each call may block for the network (5 s time-outs per phase).
 * Returned texts stay valid until the next call of the same function. */
#ifndef ZANDLE_H
#define ZANDLE_H

#include <wchar.h>

#ifndef ZANDLE_API
#define ZANDLE_API __declspec(dllimport)
#endif

#ifdef __cplusplus
#define ZANDLE_NOTHROW noexcept
extern "C" {
#else
#define ZANDLE_NOTHROW
#endif

/* server: "host", "host:port" or "[v6-address]:port"; null keeps the current one.
 * options: bit 0 also sends the library's own request bodies as level-0 log lines. */
ZANDLE_API void __stdcall SetServerA(const char* server, unsigned int options) ZANDLE_NOTHROW;
ZANDLE_API void __stdcall SetServerW(const wchar_t* server, unsigned int options) ZANDLE_NOTHROW;

/* The tool's configuration text, or null when the service could not be asked. */
ZANDLE_API const char* __stdcall getAppInfoA(int loginUin, const char* modelName, const char* modelVersion) ZANDLE_NOTHROW;
ZANDLE_API const wchar_t* __stdcall getAppInfoW(int loginUin, const wchar_t* modelName, const wchar_t* modelVersion) ZANDLE_NOTHROW;

/* Login detail id for UserLeave, or -1. extraText may be null. */
ZANDLE_API int __stdcall UserEnterA(int loginUin, const char* extraText) ZANDLE_NOTHROW;
ZANDLE_API int __stdcall UserEnterW(int loginUin, const wchar_t* extraText) ZANDLE_NOTHROW;
ZANDLE_API int __stdcall UserLeave(int loginDetailId) ZANDLE_NOTHROW;

/* 1 if the line was sent and answered; 0 if it failed or the warning level stopped it. */
ZANDLE_API int __stdcall WriteLogA(int loginUin, int logLevel, const char* logText) ZANDLE_NOTHROW;
ZANDLE_API int __stdcall WriteLogW(int loginUin, int logLevel, const wchar_t* logText) ZANDLE_NOTHROW;

/* Shows a survey popup when functionName is configured; always returns 0. The level the
 * user picks (1 to 3) is written to *levelOut later, from the calling thread's message
 * loop; *levelOut must stay valid until the popup has closed. levelOut may be null. */
ZANDLE_API int __stdcall SatisfactionA(int loginUin, const char* functionName, const char* surveyLink, int* levelOut) ZANDLE_NOTHROW;
ZANDLE_API int __stdcall SatisfactionW(int loginUin, const wchar_t* functionName, const wchar_t* surveyLink,
                                       int* levelOut) ZANDLE_NOTHROW;

#ifdef __cplusplus
}
#endif

#endif /* ZANDLE_H */
