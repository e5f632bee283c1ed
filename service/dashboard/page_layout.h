// Frame shared by the dashboard's pages.
#pragma once

#include <string>
#include <string_view>

namespace zandle::service {

// Wraps `body` in a complete document; `title` is escaped here.
std::string pageDocument(std::string_view title, std::string_view body);

}  // namespace zandle::service
