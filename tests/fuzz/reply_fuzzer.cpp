// libFuzzer target: reply envelope, AppInfo document and body builder on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/core/app_info.h"
#include "client/core/form_body.h"
#include "client/core/reply_parser.h"
#include "text/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string reply = zandle::DecodeUtf8(bytes);

  std::int32_t value = 0;
  zandle::ParseIntReply(reply, value);

  std::u16string text;
  if (zandle::ParseTextReply(reply, text)) {
    std::int32_t level = 0;
    zandle::FunctionNameSet names;
    zandle::ApplyAppInfo(text, level, names);
    for (const auto& name : names) {
      if (name.size() > zandle::kFunctionNameMaxUnits) __builtin_trap();
    }
  }

  const std::string utf8 = zandle::EncodeUtf8(reply);
  const std::string body = zandle::BuildWriteLogBody(1, {bytes}, {bytes, zandle::SingleByteCharLength}, {utf8}, 3);
  if (body.size() > zandle::kWriteLogBodyBufferSize - 1) __builtin_trap();
  return 0;
}
