#include "dashboard/dashboard_handler.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <memory>

#include "dashboard/config_change.h"
#include "dashboard/dashboard_data.h"
#include "dashboard/dashboard_page.h"
#include "dashboard/export_writer.h"
#include "common/text_escape.h"
#include "store/sql_connection.h"
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

HttpResponse htmlPage(int status, std::string html) {
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
  return guarded(htmlPage(503, messagePage("Storage unavailable", "The store could not be read. Try again shortly.")));
}

// Refused for wrong tokens: says when to come back.
HttpResponse lockedOut(std::int64_t lockedMillis, std::string_view message) {
  HttpResponse response = guarded(htmlPage(429, loginPage(message)));
  response.refusal = "sign_in_lockout";
  response.headers.emplace_back("Retry-After", std::to_string(std::max<std::int64_t>(1, (lockedMillis + 999) / 1000)));
  return response;
}

bool isPagePath(std::string_view path) {
  return path == "/" || path == "/logs" || path == "/logs/line" || path == "/tools" || path == "/config";
}

}  // namespace

void DashboardHandler::handle(const HttpRequest& request, const Responder& respond) {
  const bool get = request.method == "GET";
  const bool post = request.method == "POST";
  if (request.path == "/login" && post) return signIn(request, respond);
  const bool page = isPagePath(request.path);
  const bool known = (page && get) || (request.path == "/config" && post) || (request.path == "/logout" && post) ||
                     (request.path.starts_with(kExportPrefix) && get &&
                      isExportName(std::string_view(request.path).substr(kExportPrefix.size())));
  if (!known) return respond(plainTextResponse(404, "Not found"));
  // Only a token can count a failure or open a session: the rest needs no writer.
  const DashboardAccess::Offer offer = access_.offer(request);
  if (offer == DashboardAccess::Offer::Nothing) return proceed(request, Identity{}, respond);
  auto shared = std::make_shared<HttpRequest>(request);
  auto identity = std::make_shared<Identity>();
  if (offer == DashboardAccess::Offer::Cookie) {
    const bool queued = withAccess(
        reader_,
        [this, shared, identity](AccessRecords& records) { *identity = access_.identify(*shared, records); },
        [this, shared, identity, respond](bool succeeded) {
          if (!succeeded) return respond(unavailable());
          proceed(*shared, *identity, respond);
        });
    if (!queued) respond(unavailable());
    return;
  }
  const bool queued = withAccess(
      writer_,
      [this, shared, identity](AccessRecords& records) {
        *identity = access_.identify(*shared, records);
        if (identity->caller != Caller::QueryToken || shared->method != "GET") return;
        // The token leaves the address bar, history and logs: a session takes its place.
        identity->session = access_.signIn(*shared, *FormFields::parse(shared->query).single("token"), records);
        if (!identity->session) identity->lockedMillis = access_.lockedFor(*shared, records);
      },
      [this, shared, identity, respond](bool succeeded) {
        if (!succeeded) return respond(unavailable());
        proceed(*shared, *identity, respond);
      });
  if (!queued) respond(unavailable());
}

bool DashboardHandler::withAccess(StoreWorker& worker, std::function<void(AccessRecords&)> decide,
                                  std::function<void(bool)> then) {
  return worker.submit({[this, decide](Database& database) {
                           if (SqlConnection* sql = database.sqlConnection()) {
                             SqlAccessRecords records(*sql, access_.throttleSettings());
                             return decide(records);
                           }
                           decide(memoryRecords_);
                         },
                         std::move(then)});
}

void DashboardHandler::identify(const HttpRequest& request, std::function<void(std::optional<Caller>)> then) {
  auto shared = std::make_shared<HttpRequest>(request);
  auto caller = std::make_shared<Caller>(Caller::Nobody);
  const bool queued = withAccess(
      writer_, [this, shared, caller](AccessRecords& records) { *caller = access_.identify(*shared, records).caller; },
      [caller, then](bool succeeded) { then(succeeded ? std::optional<Caller>(*caller) : std::nullopt); });
  if (!queued) then(std::nullopt);
}

void DashboardHandler::proceed(const HttpRequest& request, const Identity& identity, const Responder& respond) {
  const bool get = request.method == "GET";
  const bool post = request.method == "POST";
  const bool page = isPagePath(request.path);
  switch (identity.caller) {
    case Caller::Throttled:
      return respond(lockedOut(identity.lockedMillis, "Too many wrong tokens from this address. Try again later."));
    case Caller::WrongToken: {
      HttpResponse refused = get && page ? guarded(htmlPage(401, loginPage("That is not the dashboard token.")))
                                         : plainTextResponse(401, "A dashboard token is required");
      refused.refusal = "wrong_token";
      return respond(std::move(refused));
    }
    case Caller::Nobody:
      if (request.path == "/logout") return signOut(request, identity, respond);
      if (get && page) return respond(guarded(htmlPage(401, loginPage(""))));
      return respond(plainTextResponse(401, "A dashboard token is required"));
    case Caller::QueryToken: {
      if (!get) return respond(plainTextResponse(400, "Send the token in the body or a header"));
      if (!identity.session) return respond(lockedOut(identity.lockedMillis, "Too many wrong tokens from this address."));
      const std::string query = queryWithoutToken(request.query);
      HttpResponse redirect = redirectResponse(request.path + (query.empty() ? "" : "?" + query));
      redirect.headers.emplace_back("Set-Cookie", access_.sessionCookie(*identity.session, request));
      return respond(guarded(std::move(redirect)));
    }
    case Caller::Script:
    case Caller::Browser:
      break;
  }
  if (request.path == "/logout") return signOut(request, identity, respond);
  if (request.path == "/config" && post) return changeConfig(request, identity, respond);
  if (page) return showPage(request, identity, respond);
  exportFile(request, respond);
}

void DashboardHandler::signIn(const HttpRequest& request, const Responder& respond) {
  auto shared = std::make_shared<HttpRequest>(request);
  auto locked = std::make_shared<std::int64_t>(0);
  auto session = std::make_shared<std::optional<DashboardSession>>();
  const bool queued = withAccess(
      writer_, [this, shared, locked, session](AccessRecords& records) {
        *session = std::nullopt;
        *locked = access_.lockedFor(*shared, records);
        if (*locked > 0) return;
        *session = access_.signIn(*shared, FormFields::parse(shared->body).single("token").value_or(""), records);
      },
      [this, shared, locked, session, respond](bool succeeded) {
        if (!succeeded) return respond(unavailable());
        if (*locked > 0) return respond(lockedOut(*locked, "Too many wrong tokens from this address. Try again later."));
        if (!*session) {
          HttpResponse refused = guarded(htmlPage(401, loginPage("That is not the dashboard token.")));
          refused.refusal = "wrong_token";
          return respond(std::move(refused));
        }
        HttpResponse redirect = redirectResponse("/");
        redirect.headers.emplace_back("Set-Cookie", access_.sessionCookie(**session, *shared));
        respond(guarded(std::move(redirect)));
      });
  if (!queued) respond(unavailable());
}

void DashboardHandler::signOut(const HttpRequest& request, const Identity& identity, const Responder& respond) {
  if (identity.session) {
    const auto csrf = FormFields::parse(request.body).single("csrf");
    if (!csrf || !sameSecret(*csrf, identity.session->csrf)) {
      return respond(guarded(htmlPage(403, messagePage("Not signed out", "The form did not come from this session."))));
    }
  }
  HttpResponse redirect = redirectResponse("/");
  redirect.headers.emplace_back("Set-Cookie", access_.clearedCookie(request));
  if (!identity.session) return respond(guarded(std::move(redirect)));
  auto reply = std::make_shared<HttpResponse>(guarded(std::move(redirect)));
  const std::string id = identity.session->id;
  const bool queued = withAccess(writer_, [id](AccessRecords& records) { records.closeSession(id); },
                                 [reply, respond](bool succeeded) { respond(succeeded ? *reply : unavailable()); });
  if (!queued) respond(unavailable());
}

void DashboardHandler::showPage(const HttpRequest& request, const Identity& identity, const Responder& respond) {
  // A session keeps the time zone last chosen for the pages that name none.
  const DashboardFilter filter = DashboardFilter::fromQuery(
      request.query, request.arrivalMillis,
      identity.session ? TimeZone::named(identity.session->timeZone) : TimeZone::utc());
  const bool zoneChanged = identity.session && filter.zone->name() != identity.session->timeZone;
  const std::string formToken = identity.session ? identity.session->csrf : std::string();
  const FormFields form = FormFields::parse(request.query);
  std::function<std::string(Database&)> render;
  if (request.path == "/") {
    render = [filter, formToken](Database& database) {
      return dashboardPage(loadDashboardData(database, filter), formToken);
    };
  } else if (request.path == "/logs") {
    render = [filter, formToken](Database& database) { return logsPage(loadLogsPage(database, filter), formToken); };
  } else if (request.path == "/logs/line") {
    const std::string text = form.single("id").value_or("");
    std::int64_t id = 0;
    std::from_chars(text.data(), text.data() + text.size(), id);
    render = [filter, formToken, id](Database& database) {
      return logLinePage(loadLogLinePage(database, filter, id), formToken);
    };
  } else if (request.path == "/tools") {
    render = [filter, formToken](Database& database) { return toolsPage(loadToolsPage(database, filter), formToken); };
  } else {
    const std::string model = form.single("model").value_or("");
    const bool saved = form.has("saved");
    render = [filter, formToken, model, saved](Database& database) {
      ConfigPageData data = loadConfigPage(database, filter, model);
      data.saved = saved;
      return configPage(data, formToken);
    };
  }
  auto renderPage = [this, render, respond] {
    auto html = std::make_shared<std::string>();
    const bool queued = reader_.submit(
        {[render, html](Database& database) { *html = render(database); },
         [respond, html](bool succeeded) {
           respond(succeeded ? guarded(htmlPage(200, std::move(*html))) : unavailable());
         }});
    if (!queued) respond(unavailable());
  };
  if (!zoneChanged) return renderPage();
  // Remembered before the page goes out, so the session's next page (read elsewhere) knows it.
  const bool queued = withAccess(
      writer_,
      [id = identity.session->id, zone = filter.zone->name()](AccessRecords& records) { records.setTimeZone(id, zone); },
      [renderPage](bool) { renderPage(); });
  if (!queued) renderPage();
}

void DashboardHandler::exportFile(const HttpRequest& request, const Responder& respond) {
  const std::string name = request.path.substr(kExportPrefix.size());
  DashboardFilter filter = DashboardFilter::fromQuery(request.query, request.arrivalMillis);
  if (filter.limit) filter.limit = std::min(*filter.limit, limits_.maxExportRows);
  const std::shared_ptr<ExportCursor> cursor = exportCursor(name, filter);
  // The first piece is read before answering, so a store that cannot be read gets a 503.
  auto first = std::make_shared<std::string>();
  auto more = std::make_shared<bool>(false);
  const bool queued = reader_.submit(
      {[cursor, first, more](Database& database) {
         first->clear();
         *more = cursor->next(database, *first);
       },
       [this, respond, name, cursor, first, more](bool succeeded) {
         if (!succeeded) return respond(plainTextResponse(503, "Storage unavailable"));
         respond(guarded(exportResponse(name, std::move(*first), !*more, cursor, reader_)));
       }});
  if (!queued) respond(plainTextResponse(503, "Storage unavailable"));
}

void DashboardHandler::changeConfig(const HttpRequest& request, const Identity& identity, const Responder& respond) {
  const FormFields form = FormFields::parse(request.body);
  // A cookie is sent by the browser on its own, so a form must also prove it came from our page.
  const auto formToken = form.single("csrf");
  if (identity.caller != Caller::Script && !(identity.session && formToken && sameSecret(*formToken, identity.session->csrf))) {
    return respond(guarded(htmlPage(403, messagePage("Not saved", "The form did not come from this session."))));
  }
  auto parsed = configChangeFrom(form);
  if (auto* problem = std::get_if<std::string>(&parsed)) {
    return respond(guarded(htmlPage(400, messagePage("Not saved", *problem))));
  }
  const ConfigChange change = std::get<ConfigChange>(std::move(parsed));
  const std::string back = "/config?model=" + urlEncode(change.config.model) + "&saved=1";
  const bool queued = writer_.submit(
      {[change](Database& database) { applyConfigChange(database, change); },
       [respond, back](bool succeeded) { respond(succeeded ? guarded(redirectResponse(back)) : unavailable()); }});
  if (!queued) respond(unavailable());
}

}  // namespace zandle::service
