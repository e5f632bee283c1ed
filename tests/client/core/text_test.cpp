#include <gtest/gtest.h>

#include <string>

#include "client/core/text_limits.h"
#include "client/core/utf8.h"

namespace zandle {
namespace {

TEST(Utf8, RoundTripsEveryPlane) {
  const std::u16string text = u"A\u00E9\u4E2D\U0001F600\uFFFD";
  EXPECT_EQ(EncodeUtf8(text), "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\xEF\xBF\xBD");
  EXPECT_EQ(DecodeUtf8(EncodeUtf8(text)), text);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(DecodeUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(DecodeUtf8("\xE4\xB8"), u"\uFFFD");             // truncated sequence
  EXPECT_EQ(DecodeUtf8("\xE4\xB8" "A"), u"\uFFFDA");
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");       // overlong
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), u"\uFFFD");         // encoded surrogate
  EXPECT_EQ(DecodeUtf8(std::string("a\0b", 3)), u"ab");
  EXPECT_EQ(EncodeUtf8(u"\xD800x"), "\xEF\xBF\xBDx");         // lone surrogate
}

TEST(FitPrefix, KeepsWholeCharacters) {
  EXPECT_EQ(FitPrefix(std::string_view("\xE4\xB8\xAD\xE4\xB8\xAD"), 5, Utf8CharLength), 3u);
  EXPECT_EQ(FitPrefix(std::string_view("\xE4\xB8\xAD\xE4\xB8\xAD"), 6, Utf8CharLength), 6u);
  EXPECT_EQ(FitPrefix(std::string_view("abc"), 0, SingleByteCharLength), 0u);
  EXPECT_EQ(FitPrefix(std::u16string_view(u"ab\U0001F600"), 3), 2u);
  EXPECT_EQ(FitPrefix(std::u16string_view(u"ab\U0001F600"), 4), 4u);
  EXPECT_EQ(FitPrefix(std::u16string_view(u"abc"), 10), 3u);
}

}  // namespace
}  // namespace zandle
