// The two kinds of service method: integer replies and the GetAppInfo text reply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zandle::client {

// False at once while g_bNetError is set. On false `result` is untouched.
bool CallIntMethod(std::string_view method, std::string_view body, std::int32_t& result);

// The reply bytes are decoded as UTF-8 once; `text` has line breaks removed and
// angle brackets unescaped.
bool CallGetAppInfo(std::string_view body, std::u16string& text);

}  // namespace zandle::client
