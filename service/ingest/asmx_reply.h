// Replies as an .asmx HTTP-POST binding writes them.
#pragma once

#include <cstdint>
#include <string_view>

#include "http/http_response.h"

namespace zandle::service {

HttpResponse intReply(std::int32_t value);

// The text is escaped as element content.
HttpResponse stringReply(std::string_view text);

}  // namespace zandle::service
