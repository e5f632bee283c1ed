#include "ingest/field_limits.h"

#include "client/core/wire_protocol.h"
#include "common/utf8.h"

namespace zandle::service {

std::size_t maxBodyBytes(std::string_view method) {
  return method == wire::kMethodWriteLog ? kMaxWriteLogBodyBytes : kMaxOtherBodyBytes;
}

std::string cutAtCharBoundary(std::string text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t cut = maxBytes;
  // Continuation bytes are 10xxxxxx; the character they belong to starts before them.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

std::string storedText(std::string_view bytes, std::size_t maxBytes) {
  return cutAtCharBoundary(sanitizeUtf8(bytes), maxBytes);
}

}  // namespace zandle::service
