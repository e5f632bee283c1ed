// Form bodies of the five service methods.
//
// Values enter the body unchanged except for four bytes that would otherwise
// rewrite the form: "%" "&" "=" "+" become %25 %26 %3D %2B. A body that would
// not fit its buffer gives up value characters, whole ones, in a fixed order
// (free text first), so the field structure always survives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_limits.h"

namespace zandle {

inline constexpr std::size_t kBodyBufferSize = 1024;
inline constexpr std::size_t kWriteLogBodyBufferSize = 4096;

// A value as it goes into the body, with the encoding its characters are cut by.
struct FormText {
  std::string_view bytes;
  CharLengthFn charLength = Utf8CharLength;
};

std::string PercentEncodeFormValue(std::string_view bytes);

class FormBodyBuilder {
 public:
  FormBodyBuilder& Literal(std::string_view ascii);
  FormBodyBuilder& Int(std::int32_t value);
  // Values with a higher shrinkRank give up characters first when the body is too long;
  // within a rank, the later value first.
  FormBodyBuilder& Text(FormText text, int shrinkRank);

  // At most bufferSize - 1 bytes (the buffer keeps its terminator).
  std::string Build(std::size_t bufferSize) const;

 private:
  struct Piece {
    std::string fixed;
    FormText text;
    bool isText = false;
    int shrinkRank = 0;
  };
  std::vector<Piece> pieces_;
};


std::string BuildGetAppInfoBody(std::int32_t uin, FormText modelUtf8, FormText versionUtf8);
std::string BuildUserEnterBody(std::int32_t uin, FormText modelUtf8, const FormText* extraUtf8, FormText versionLocal);
std::string BuildUserLeaveBody(std::int32_t loginDetailId);
std::string BuildWriteLogBody(std::int32_t uin, FormText modelUtf8, FormText versionLocal, FormText textUtf8,
                              std::int32_t level);
std::string BuildSatisfactionBody(std::int32_t uin, FormText modelUtf8, FormText versionLocal,
                                  FormText functionUtf8, std::int32_t level);

}  // namespace zandle
