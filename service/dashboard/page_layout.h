// Frame shared by the dashboard's pages: document, style and navigation.
#pragma once

#include <string>
#include <string_view>

namespace zandle::service {

// Wraps `body` in a complete document; `title` is escaped here.
std::string pageDocument(std::string_view title, std::string_view body);

// Title bar with the navigation. `query` carries the filter from page to
// page; `formToken` (empty for scripts) gives the sign-out button.
std::string siteHeader(std::string_view activePath, std::string_view query, std::string_view formToken);

}  // namespace zandle::service
