#include "client/core/reply_parser.h"

#include <algorithm>

#include "client/core/parse_int.h"
#include "client/core/wire_protocol.h"

namespace zandle {
namespace {

std::u16string Widen(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Content after the first start tag, up to the next "<"; npos-safe.
bool FindContent(std::u16string_view reply, std::string_view tag, std::u16string_view& content) {
  if (reply.empty()) return false;
  const std::u16string wideTag = Widen(tag);
  const auto start = reply.find(wideTag);
  if (start == std::u16string_view::npos) return false;
  content = reply.substr(start + wideTag.size());
  const auto end = content.find(u'<');
  if (end != std::u16string_view::npos) content = content.substr(0, end);
  return true;
}

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  std::size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::u16string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
}

}  // namespace

bool ParseIntReply(std::u16string_view reply, std::int32_t& result) {
  std::u16string_view content;
  if (!FindContent(reply, wire::kIntStartTag, content)) return false;
  result = ParseInt(content.substr(0, std::min(content.size(), kIntContentMaxChars)));
  return true;
}

bool ParseTextReply(std::u16string_view reply, std::u16string& text) {
  std::u16string_view content;
  if (!FindContent(reply, wire::kStringStartTag, content)) return false;
  std::u16string out(content);
  std::erase(out, u'\r');
  std::erase(out, u'\n');
  ReplaceAll(out, u"&lt;", u"<");
  ReplaceAll(out, u"&gt;", u">");
  text = std::move(out);
  return true;
}

}  // namespace zandle
