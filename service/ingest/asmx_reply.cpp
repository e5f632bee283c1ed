#include "ingest/asmx_reply.h"

#include <string>

#include "client/core/wire_protocol.h"
#include "common/text_escape.h"

namespace zandle::service {
namespace {

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
constexpr std::string_view kXmlContentType = "text/xml; charset=utf-8";

HttpResponse xmlReply(std::string_view startTag, std::string_view content, std::string_view endTag) {
  HttpResponse response;
  response.contentType = std::string(kXmlContentType);
  response.headers.emplace_back("Cache-Control", "private, max-age=0");
  response.body.reserve(kXmlDeclaration.size() + startTag.size() + content.size() + endTag.size());
  response.body.append(kXmlDeclaration).append(startTag).append(content).append(endTag);
  return response;
}

}  // namespace

HttpResponse intReply(std::int32_t value) {
  return xmlReply(wire::kIntStartTag, std::to_string(value), "</int>");
}

HttpResponse stringReply(std::string_view text) {
  return xmlReply(wire::kStringStartTag, escapeXmlText(text), "</string>");
}

}  // namespace zandle::service
