// One synchronous form POST over WinINet.
#pragma once

#include <string>
#include <string_view>

namespace zandle::client {

inline constexpr unsigned kTimeoutMs = 5000;
inline constexpr unsigned kPauseAfterSendMs = 10;
inline constexpr unsigned kPauseAfterChunkMs = 1;
inline constexpr std::size_t kReadChunkBytes = 4096;
// A service that never stops sending must not hold the host: the whole exchange ends
// after all five time-outs' worth of time, and a reply ends at 1 MiB.
inline constexpr unsigned kExchangeDeadlineMs = 5 * kTimeoutMs;
inline constexpr std::size_t kMaxReplyBytes = 1024 * 1024;

// Returns the reply bytes received (possibly none). An error inside the exchange
// sets g_bNetError and returns what had arrived.
std::string PostForm(std::wstring_view server, std::wstring_view objectPath, std::string_view body);

}  // namespace zandle::client
