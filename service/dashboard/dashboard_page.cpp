#include "dashboard/dashboard_page.h"

#include "common/text_escape.h"
#include "dashboard/page_layout.h"

namespace zandle::service {

std::string loginPage(std::string_view message) {
  std::string body = "<header class=\"site\"><h1>Zandle statistics</h1></header><section><h2>Sign in</h2>";
  if (!message.empty()) body += "<p class=\"notice\">" + escapeHtml(message) + "</p>";
  body += "<form class=\"inline\" method=\"post\" action=\"/login\"><label>Dashboard token"
          "<input type=\"password\" name=\"token\" autocomplete=\"current-password\" required></label>"
          "<button type=\"submit\">Sign in</button></form></section>";
  return pageDocument("Zandle statistics – sign in", body);
}

std::string messagePage(std::string_view title, std::string_view message) {
  std::string body = "<header class=\"site\"><h1>Zandle statistics</h1></header><section><h2>" + escapeHtml(title) +
                     "</h2>";
  body += "<p class=\"notice\">" + escapeHtml(message) + "</p><p><a href=\"/\">Back to the dashboard</a></p></section>";
  return pageDocument(title, body);
}

}  // namespace zandle::service
