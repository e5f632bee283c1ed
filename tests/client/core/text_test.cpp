#include <gtest/gtest.h>

#include <string>

#include "text/text_limits.h"
#include "text/utf8.h"

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
  EXPECT_EQ(EncodeUtf8(u"\xDC00x"), "\xEF\xBF\xBDx");         // lone low surrogate
  EXPECT_EQ(EncodeUtf8(u"a\xD83D"), "a\xEF\xBF\xBD");         // high surrogate at the end
}

TEST(Utf8, LeadBytesBeyondU10FFFFAreOneReplacementEach) {
  // F5..F7 would lead four-byte sequences above U+10FFFF: none is a character.
  EXPECT_EQ(DecodeUtf8("\xF5\x80\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(DecodeUtf8("\xF6\x80\x80\x80" "a"), u"\uFFFD\uFFFD\uFFFD\uFFFDa");
  EXPECT_EQ(DecodeUtf8("\xF7\xBF\xBF\xBF"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(DecodeUtf8("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");  // the last one that is
  // F4 90.. has the shape of a character but lies past U+10FFFF: one replacement, as
  // for an encoded surrogate, never a surrogate pair.
  EXPECT_EQ(DecodeUtf8("\xF4\x90\x80\x80" "a"), u"\uFFFDa");
}

TEST(FitPrefix, KeepsWholeCharacters) {
  EXPECT_EQ(FitPrefix(std::string_view("\xE4\xB8\xAD\xE4\xB8\xAD"), 5, Utf8CharLength), 3u);
  EXPECT_EQ(FitPrefix(std::string_view("\xE4\xB8\xAD\xE4\xB8\xAD"), 6, Utf8CharLength), 6u);
  EXPECT_EQ(FitPrefix(std::string_view("abc"), 0, SingleByteCharLength), 0u);
  EXPECT_EQ(FitPrefix(std::u16string_view(u"ab\U0001F600"), 3), 2u);
  EXPECT_EQ(FitPrefix(std::u16string_view(u"ab\U0001F600"), 4), 4u);
  EXPECT_EQ(FitPrefix(std::u16string_view(u"abc"), 10), 3u);
  // A cut just after a whole pair keeps it.
  EXPECT_EQ(FitPrefix(std::u16string_view(u"ab\U0001F600c"), 4), 4u);
  EXPECT_EQ(FitPrefix(std::u16string_view(u"ab\U0001F600c"), 3), 2u);
}

TEST(FitPrefix, MalformedUtf8CountsByteByByte) {
  // C0 80 (an overlong NUL) and F5..F7 leads are no characters: a cut may fall after any byte.
  EXPECT_EQ(Utf8CharLength("\xC0\x80"), 1u);
  EXPECT_EQ(Utf8CharLength("\xC1\xBF"), 1u);
  EXPECT_EQ(Utf8CharLength("\xF5\x80\x80\x80"), 1u);
  EXPECT_EQ(Utf8CharLength("\xF7\xBF\xBF\xBF"), 1u);
  EXPECT_EQ(FitPrefix(std::string_view("\xC0\x80\xC0\x80"), 3, Utf8CharLength), 3u);
  EXPECT_EQ(FitPrefix(std::string_view("\xF5\x80\x80\x80"), 2, Utf8CharLength), 2u);
  // The neighbours that are leads: C2 starts two bytes, F4 four.
  EXPECT_EQ(Utf8CharLength("\xC2\x80"), 2u);
  EXPECT_EQ(Utf8CharLength("\xF4\x8F\xBF\xBF"), 4u);
}

}  // namespace
}  // namespace zandle
