#include "ingest/ingestion_handler.h"

#include <memory>
#include <optional>
#include <string>

#include "client/core/wire_protocol.h"
#include "http/form_decoder.h"
#include "http/socket_address.h"
#include "ingest/app_info.h"
#include "ingest/asmx_reply.h"
#include "ingest/field_limits.h"
#include "ingest/report_fields.h"

namespace zandle::service {
namespace {

constexpr std::string_view kFieldLoginUin = "strLoginUIN";
constexpr std::string_view kFieldModelNameVer = "strModelNameVer";
constexpr std::string_view kFieldLoginDetailId = "nLoginDetailID";
constexpr std::string_view kFieldLogInfo = "strLogInfo";
constexpr std::string_view kFieldLogLevel = "nLogLevel";
constexpr std::string_view kFieldSatisLevel = "nSatisLevel";
constexpr std::string_view kFieldSatisInfo = "strSatisInfo";

// A field the method needs is absent, repeated or not what the client sends.
struct FieldError {
  std::string message;
};

std::string requiredText(const FormFields& form, std::string_view name) {
  if (auto value = form.single(name)) return std::move(*value);
  throw FieldError{"Missing or repeated field " + std::string(name)};
}

std::int32_t requiredInt(const FormFields& form, std::string_view name) {
  if (auto value = parseDecimalInt32(requiredText(form, name))) return *value;
  throw FieldError{"Malformed field " + std::string(name) + ": a 32-bit decimal integer is expected"};
}

Arrival arrivalOf(const HttpRequest& request) { return {request.arrivalMillis, request.peerAddress}; }

HttpResponse storageFailure() { return plainTextResponse(503, "Storage unavailable"); }

KnownModelCheck knownModels(Database& database) {
  return [&database](std::string_view model) { return database.isKnownModel(model); };
}

}  // namespace

bool IngestionHandler::isIngestionPath(std::string_view path) { return path.starts_with(wire::kObjectPathPrefix); }

void IngestionHandler::handle(const HttpRequest& request, const Responder& respond) {
  const std::string_view method = std::string_view(request.path).substr(wire::kObjectPathPrefix.size());
  using Operation = void (IngestionHandler::*)(const FormFields&, const HttpRequest&, const Responder&);
  Operation operation = nullptr;
  if (method == wire::kMethodGetAppInfo) operation = &IngestionHandler::getAppInfo;
  if (method == wire::kMethodUserEnter) operation = &IngestionHandler::userEnter;
  if (method == wire::kMethodUserLeave) operation = &IngestionHandler::userLeave;
  if (method == wire::kMethodWriteLog) operation = &IngestionHandler::writeLog;
  if (method == wire::kMethodSatisfaction) operation = &IngestionHandler::satisfaction;
  if (!operation) return respond(plainTextResponse(404, "Unknown web method"));
  if (request.method != "POST") {
    HttpResponse refused = plainTextResponse(405, "Web methods take POST");
    refused.headers.emplace_back("Allow", "POST");
    return respond(std::move(refused));
  }
  if (request.body.size() > maxBodyBytes(method)) {
    // Larger than the client's form buffer, so not from the client: nothing of it is stored.
    return respond(plainTextResponse(413, "Body larger than the client sends to " + std::string(method) + " (" +
                                              std::to_string(maxBodyBytes(method)) + " bytes)"));
  }
  try {
    (this->*operation)(FormFields::parse(request.body), request, respond);
  } catch (const FieldError& error) {
    respond(plainTextResponse(400, error.message));
  }
}

void IngestionHandler::submit(StoreJob job, const Responder& respond) {
  job.clientRecord = true;
  if (!writer_.submit(std::move(job))) respond(storageFailure());
}

void IngestionHandler::getAppInfo(const FormFields& form, const HttpRequest& request, const Responder& respond) {
  ToolSighting sighting;
  sighting.uin = requiredInt(form, kFieldLoginUin);
  const ModelAndVersion parts = splitModelNameVer(requiredText(form, kFieldModelNameVer));
  sighting.model = parts.model;
  sighting.version = parts.version;
  sighting.arrival = arrivalOf(request);
  auto document = std::make_shared<std::string>();
  submit({[sighting, document](Database& database) {
            database.recordToolSighting(sighting);
            auto config = database.toolConfig(sighting.model);
            if (!config) config = database.toolConfig("");
            *document = appInfoDocument(config ? *config : defaultToolConfig());
          },
          [respond, document](bool succeeded) {
            respond(succeeded ? stringReply(*document) : storageFailure());
          }},
         respond);
}

void IngestionHandler::userEnter(const FormFields& form, const HttpRequest& request, const Responder& respond) {
  SessionOpening session;
  session.uin = requiredInt(form, kFieldLoginUin);
  session.rawModelNameVer = requiredText(form, kFieldModelNameVer);
  session.arrival = arrivalOf(request);
  auto sessionId = std::make_shared<std::int32_t>(0);
  submit({[session, sessionId](Database& database) mutable {
            UserEnterParts parts = splitUserEnterField(session.rawModelNameVer, knownModels(database));
            session.model = std::move(parts.model);
            session.extra = std::move(parts.extra);
            session.version = std::move(parts.version);
            *sessionId = database.openSession(session);
          },
          [respond, sessionId](bool succeeded) { respond(succeeded ? intReply(*sessionId) : storageFailure()); }},
         respond);
}

void IngestionHandler::userLeave(const FormFields& form, const HttpRequest& request, const Responder& respond) {
  const SessionClosing closing{requiredInt(form, kFieldLoginDetailId), arrivalOf(request)};
  // Ids are random, so many unknown ones from one address are someone guessing.
  std::string key = addressKey(request.peerAddress);
  if (!leaveFailures_.mayTry(key, request.arrivalMillis)) {
    HttpResponse refused = plainTextResponse(429, "Too many unknown login detail ids from this address");
    refused.headers.emplace_back("Retry-After", "1");
    refused.refusal = "login_detail_id_guessing";
    return respond(std::move(refused));
  }
  auto known = std::make_shared<bool>(false);
  FailureLimiter* failures = &leaveFailures_;
  submit({[closing, known](Database& database) { *known = database.closeSession(closing); },
          [respond, known, failures, key = std::move(key), at = closing.arrival.millis](bool succeeded) {
            if (succeeded && !*known) failures->recordFailure(key, at);
            respond(succeeded ? intReply(*known ? 1 : 0) : storageFailure());
          }},
         respond);
}

void IngestionHandler::writeLog(const FormFields& form, const HttpRequest& request, const Responder& respond) {
  LogLine line;
  line.uin = requiredInt(form, kFieldLoginUin);
  line.rawLogInfo = requiredText(form, kFieldLogInfo);
  line.level = requiredInt(form, kFieldLogLevel);
  LogInfoParts parts = splitLogInfoField(line.rawLogInfo);
  line.model = std::move(parts.model);
  line.version = std::move(parts.version);
  line.text = std::move(parts.text);
  if (line.level == 0 && line.text == wire::kHealthCheckLogText) line.level = kHealthCheckLevel;
  line.arrival = arrivalOf(request);
  submit({[line](Database& database) { database.insertLogLine(line); },
          [respond](bool succeeded) { respond(succeeded ? intReply(1) : storageFailure()); }},
         respond);
}

void IngestionHandler::satisfaction(const FormFields& form, const HttpRequest& request, const Responder& respond) {
  SatisfactionReport report;
  report.uin = requiredInt(form, kFieldLoginUin);
  report.rawModelNameVer = requiredText(form, kFieldModelNameVer);
  report.level = requiredInt(form, kFieldSatisLevel);
  // Always the literal "NULL" from the client; optional so that nothing else is refused for it.
  report.satisInfo = storedText(form.single(kFieldSatisInfo).value_or(std::string()), kMaxTextBytes);
  report.arrival = arrivalOf(request);
  submit({[report](Database& database) mutable {
            SatisfactionParts parts = splitSatisfactionField(report.rawModelNameVer, knownModels(database));
            report.model = std::move(parts.model);
            report.version = std::move(parts.version);
            report.function = std::move(parts.function);
            database.insertSatisfaction(report);
          },
          [respond](bool succeeded) { respond(succeeded ? intReply(1) : storageFailure()); }},
         respond);
}

}  // namespace zandle::service
