#include "client/web_service.h"

#include "client/core/reply_parser.h"
#include "text/utf8.h"
#include "client/core/wire_protocol.h"
#include "client/transport.h"
#include "client/zandle_app.h"

namespace zandle::client {
namespace {

std::wstring ObjectPath(std::string_view method) {
  std::wstring path(wire::kObjectPathPrefix.begin(), wire::kObjectPathPrefix.end());
  path.append(method.begin(), method.end());
  return path;
}

bool Post(std::string_view method, std::string_view body, std::u16string& reply) {
  if (g_bNetError) return false;
  reply = DecodeUtf8(PostForm(g_strServer, ObjectPath(method), body));
  return !reply.empty();
}

}  // namespace

bool CallIntMethod(std::string_view method, std::string_view body, std::int32_t& result) {
  std::u16string reply;
  return Post(method, body, reply) && ParseIntReply(reply, result);
}

bool CallGetAppInfo(std::string_view body, std::u16string& text) {
  std::u16string reply;
  return Post(wire::kMethodGetAppInfo, body, reply) && ParseTextReply(reply, text);
}

}  // namespace zandle::client
