#include "dashboard/dashboard_handler.h"

#include <memory>

#include "dashboard/dashboard_data.h"
#include "dashboard/dashboard_page.h"
#include "dashboard/export_writer.h"
#include "http/form_decoder.h"
#include "ingest/app_info.h"
#include "ingest/report_fields.h"

namespace zandle::service {
namespace {

constexpr std::string_view kExportPrefix = "/export/";
constexpr std::string_view kHtmlContentType = "text/html; charset=utf-8";
constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; img-src data:; form-action 'self'; base-uri 'none'; "
    "frame-ancestors 'none'";

HttpResponse page(int status, std::string html) {
  HttpResponse response;
  response.status = status;
  response.contentType = std::string(kHtmlContentType);
  response.body = std::move(html);
  return response;
}

// Pages and exports carry user data and the session's form token: never cached, framed or sniffed.
HttpResponse guarded(HttpResponse response) {
  response.headers.emplace_back("Cache-Control", "no-store");
  response.headers.emplace_back("Content-Security-Policy", std::string(kContentSecurityPolicy));
  response.headers.emplace_back("X-Content-Type-Options", "nosniff");
  response.headers.emplace_back("X-Frame-Options", "DENY");
  response.headers.emplace_back("Referrer-Policy", "no-referrer");
  return response;
}

HttpResponse unavailable() {
  return guarded(page(503, messagePage("Storage unavailable", "The store could not be read. Try again shortly.")));
}

std::vector<std::string> functionList(std::string_view text) {
  std::vector<std::string> names;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    std::string_view name = text.substr(0, comma);
    text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!name.empty()) names.emplace_back(name);
  }
  return names;
}

}  // namespace

void DashboardHandler::handle(const HttpRequest& request, const Responder& respond) {
  const bool get = request.method == "GET";
  const bool post = request.method == "POST";
  if (request.path == "/login" && post) return signIn(request, respond);
  const bool known = (request.path == "/" && get) || (request.path == "/config" && post) ||
                     (request.path == "/logout" && post) ||
                     (request.path.starts_with(kExportPrefix) && get &&
                      isExportName(std::string_view(request.path).substr(kExportPrefix.size())));
  if (!known) return respond(plainTextResponse(404, "Not found"));
  const Identity identity = access_.identify(request);
  switch (identity.caller) {
    case Caller::Throttled:
      return respond(guarded(page(429, loginPage("Too many wrong tokens from this address. Try again later."))));
    case Caller::WrongToken:
      if (get && request.path == "/") return respond(guarded(page(401, loginPage("That is not the dashboard token."))));
      return respond(plainTextResponse(401, "A dashboard token is required"));
    case Caller::Nobody:
      if (request.path == "/logout") return signOut(request, identity, respond);
      if (get && request.path == "/") return respond(guarded(page(401, loginPage(""))));
      return respond(plainTextResponse(401, "A dashboard token is required"));
    case Caller::QueryToken: {
      // The token leaves the address bar, history and logs: a session takes its place.
      if (!get) return respond(plainTextResponse(400, "Send the token in the body or a header"));
      const auto session = access_.signIn(request, *FormFields::parse(request.query).single("token"));
      if (!session) return respond(guarded(page(429, loginPage("Too many wrong tokens from this address."))));
      const std::string query = queryWithoutToken(request.query);
      HttpResponse redirect = redirectResponse(request.path + (query.empty() ? "" : "?" + query));
      redirect.headers.emplace_back("Set-Cookie", access_.sessionCookie(*session, request));
      return respond(guarded(std::move(redirect)));
    }
    case Caller::Script:
    case Caller::Browser:
      break;
  }
  if (request.path == "/logout") return signOut(request, identity, respond);
  if (request.path == "/config") return changeConfig(request, identity, respond);
  if (request.path == "/") return showDashboard(request, identity, respond);
  exportFile(request, respond);
}

void DashboardHandler::signIn(const HttpRequest& request, const Responder& respond) {
  if (access_.throttled(request)) {
    return respond(guarded(page(429, loginPage("Too many wrong tokens from this address. Try again later."))));
  }
  const auto candidate = FormFields::parse(request.body).single("token");
  const auto session = access_.signIn(request, candidate.value_or(""));
  if (!session) return respond(guarded(page(401, loginPage("That is not the dashboard token."))));
  HttpResponse redirect = redirectResponse("/");
  redirect.headers.emplace_back("Set-Cookie", access_.sessionCookie(*session, request));
  respond(guarded(std::move(redirect)));
}

void DashboardHandler::signOut(const HttpRequest& request, const Identity& identity, const Responder& respond) {
  if (identity.session) {
    const auto csrf = FormFields::parse(request.body).single("csrf");
    if (!csrf || !sameSecret(*csrf, identity.session->csrf)) {
      return respond(guarded(page(403, messagePage("Not signed out", "The form did not come from this session."))));
    }
    access_.signOut(*identity.session);
  }
  HttpResponse redirect = redirectResponse("/");
  redirect.headers.emplace_back("Set-Cookie", access_.clearedCookie(request));
  respond(guarded(std::move(redirect)));
}

void DashboardHandler::showDashboard(const HttpRequest& request, const Identity& identity, const Responder& respond) {
  const DashboardFilter filter =
      DashboardFilter::fromQuery(request.query, request.arrivalMillis, limits_.logLinesShown, limits_.logLinesShown);
  auto html = std::make_shared<std::string>();
  const std::string formToken = identity.session ? identity.session->csrf : std::string();
  const bool queued = reader_.submit(
      {[filter, html, formToken](Database& database) {
         *html = dashboardPage(loadDashboardData(database, filter), formToken);
       },
       [respond, html](bool succeeded) { respond(succeeded ? guarded(page(200, std::move(*html))) : unavailable()); }});
  if (!queued) respond(unavailable());
}

void DashboardHandler::exportFile(const HttpRequest& request, const Responder& respond) {
  const std::string name = request.path.substr(kExportPrefix.size());
  const DashboardFilter filter = DashboardFilter::fromQuery(request.query, request.arrivalMillis,
                                                            limits_.defaultExportRows, limits_.maxExportRows);
  auto response = std::make_shared<HttpResponse>();
  const bool queued = reader_.submit(
      {[name, filter, response](Database& database) { *response = *exportResponse(name, database, filter); },
       [respond, response](bool succeeded) {
         respond(succeeded ? guarded(std::move(*response)) : plainTextResponse(503, "Storage unavailable"));
       }});
  if (!queued) respond(plainTextResponse(503, "Storage unavailable"));
}

void DashboardHandler::changeConfig(const HttpRequest& request, const Identity& identity, const Responder& respond) {
  const FormFields form = FormFields::parse(request.body);
  // A cookie is sent by the browser on its own, so a form must also prove it came from our page.
  const auto formToken = form.single("csrf");
  if (identity.caller != Caller::Script && !(identity.session && formToken && sameSecret(*formToken, identity.session->csrf))) {
    return respond(guarded(page(403, messagePage("Not saved", "The form did not come from this session."))));
  }
  const auto model = form.single("model");
  const std::string action = form.single("action").value_or("save");
  if (!model || (action != "save" && action != "delete")) {
    return respond(guarded(page(400, messagePage("Not saved", "The form is incomplete."))));
  }
  ToolConfig config{*model, 0, functionList(form.single("functions").value_or(""))};
  if (action == "save") {
    const auto level = parseDecimalInt32(form.single("warningLevel").value_or(""));
    if (!level) return respond(guarded(page(400, messagePage("Not saved", "The warning level must be a whole number."))));
    config.warningLevel = *level;
    if (const auto problem = configProblem(config)) {
      return respond(guarded(page(400, messagePage("Not saved", *problem))));
    }
  }
  const bool queued = writer_.submit(
      {[config, action](Database& database) {
         if (action == "delete") {
           database.deleteToolConfig(config.model);
         } else {
           database.saveToolConfig(config);
         }
       },
       [respond](bool succeeded) {
         respond(succeeded ? guarded(redirectResponse("/#config")) : unavailable());
       }});
  if (!queued) respond(unavailable());
}

}  // namespace zandle::service
