#include <gtest/gtest.h>

#include <string>

#include "client/core/form_body.h"

namespace zandle {
namespace {

FormText U8(std::string_view s) { return FormText{s, Utf8CharLength}; }

// Stand-in for a double-byte code page: bytes from 0x81 lead a two-byte character.
std::size_t FakeDbcsCharLength(std::string_view rest) noexcept {
  if (rest.empty()) return 0;
  return (static_cast<unsigned char>(rest[0]) >= 0x81 && rest.size() >= 2) ? 2 : 1;
}
FormText Dbcs(std::string_view s) { return FormText{s, FakeDbcsCharLength}; }

TEST(FormBodies, OrdinaryBodiesMatchTheServiceFormats) {
  EXPECT_EQ(BuildGetAppInfoBody(7, U8("Tool"), U8("1.0")), "strLoginUIN=7&strModelNameVer=Tool,1.0");
  const FormText demo = U8("Demo");
  EXPECT_EQ(BuildUserEnterBody(7, U8("Tool"), &demo, Dbcs("1.0")), "strLoginUIN=7&strModelNameVer=Tool-Demo,1.0");
  EXPECT_EQ(BuildUserEnterBody(-3, U8("Tool"), nullptr, Dbcs("1.0")), "strLoginUIN=-3&strModelNameVer=Tool,1.0");
  EXPECT_EQ(BuildUserLeaveBody(-1), "nLoginDetailID=-1");
  EXPECT_EQ(BuildWriteLogBody(0, U8("Tool"), Dbcs("1.0"), U8("hello world"), 2),
            "strLoginUIN=0&strLogInfo=Tool,1.0[hello world]&nLogLevel=2");
  EXPECT_EQ(BuildSatisfactionBody(12, U8("Tool"), Dbcs("1.0"), U8("Save"), 3),
            "strLoginUIN=12&strModelNameVer=Tool-1.0,Save&nSatisLevel=3&strSatisInfo=NULL");
  // Non-ASCII bytes go through untouched.
  EXPECT_EQ(BuildWriteLogBody(1, U8("\xE5\xB7\xA5"), Dbcs("v\xB0\xE6"), U8("\xE4\xB8\xAD"), 0),
            "strLoginUIN=1&strLogInfo=\xE5\xB7\xA5,v\xB0\xE6[\xE4\xB8\xAD]&nLogLevel=0");
}

TEST(FormBodies, ExactlyFourCharactersArePercentEncoded) {
  EXPECT_EQ(PercentEncodeFormValue("a&b=c+d%e f?g#h/;"), "a%26b%3Dc%2Bd%25e f?g#h/;");
  EXPECT_EQ(BuildWriteLogBody(1, U8("T&x=1"), Dbcs("1+2"), U8("100%&nLogLevel=9"), 4),
            "strLoginUIN=1&strLogInfo=T%26x%3D1,1%2B2[100%25%26nLogLevel%3D9]&nLogLevel=4");
}

TEST(FormBodies, OverlongLogTextIsCutAtACharacterBoundaryAndKeepsTheLevel) {
  // 4000 three-byte characters: far over the 4096-byte WriteLog buffer.
  std::string text;
  for (int i = 0; i < 4000; ++i) text += "\xE4\xB8\xAD";
  const std::string body = BuildWriteLogBody(5, U8("Tool"), Dbcs("1.0"), U8(text), 1);
  EXPECT_LE(body.size(), 4095u);
  const std::string head = "strLoginUIN=5&strLogInfo=Tool,1.0[";
  const std::string tail = "]&nLogLevel=1";
  ASSERT_EQ(body.substr(0, head.size()), head);
  ASSERT_EQ(body.substr(body.size() - tail.size()), tail);
  const std::size_t kept = body.size() - head.size() - tail.size();
  EXPECT_EQ(kept % 3, 0u);                 // whole characters only
  EXPECT_GT(kept + head.size() + tail.size(), 4095u - 3);  // as much as fits
}

TEST(FormBodies, AnEscapeIsNeverSplitByTheLimit) {
  std::string text(5000, '%');
  const std::string body = BuildWriteLogBody(5, U8("T"), Dbcs("1"), U8(text), 1);
  EXPECT_LE(body.size(), 4095u);
  const auto open = body.find('[');
  const auto close = body.rfind(']');
  const std::string value = body.substr(open + 1, close - open - 1);
  ASSERT_EQ(value.size() % 3, 0u);
  for (std::size_t i = 0; i < value.size(); i += 3) ASSERT_EQ(value.substr(i, 3), "%25");
}

TEST(FormBodies, FreeTextGivesWayFirstThenVersionThenModel) {
  const std::string model(600, 'm');
  const std::string version(600, 'v');
  const std::string extra(600, 'e');
  const FormText extraText = U8(extra);
  const std::string body = BuildUserEnterBody(1, U8(model), &extraText, Dbcs(version));
  ASSERT_EQ(body.size(), 1023u);
  EXPECT_NE(body.find(model + "-"), std::string::npos);  // model whole
  EXPECT_NE(body.find(",vvvv"), std::string::npos);
  EXPECT_EQ(body.find("e,"), std::string::npos);         // extra text gave way entirely
  EXPECT_EQ(body.substr(0, 30), "strLoginUIN=1&strModelNameVer=");

  // Version in a double-byte code page: cut between characters, never inside one.
  std::string dbcsVersion;
  for (int i = 0; i < 600; ++i) dbcsVersion += "\xB0\xE6";
  const std::string sat = BuildSatisfactionBody(1, U8(model), Dbcs(dbcsVersion), U8("Save"), 2);
  EXPECT_LE(sat.size(), 1023u);
  const auto dash = sat.find('-');
  const auto comma = sat.find(",Save&");
  ASSERT_NE(comma, std::string::npos);
  EXPECT_EQ((comma - dash - 1) % 2, 0u);
  const std::string satTail = ",Save&nSatisLevel=2&strSatisInfo=NULL";
  EXPECT_EQ(sat.substr(sat.size() - satTail.size()), satTail);
}

TEST(FormBodies, Utf8CutNeverSplitsASequenceEvenWhenMalformed) {
  // A value mixing 4-byte, 2-byte and stray continuation bytes.
  std::string text;
  for (int i = 0; i < 1500; ++i) text += "\xF0\x9F\x98\x80" "\xC3\xA9" "\x80";
  const std::string body = BuildWriteLogBody(0, U8("T"), Dbcs("1"), U8(text), 0);
  EXPECT_LE(body.size(), 4095u);
  const auto open = body.find('[');
  const auto close = body.rfind(']');
  const std::string value = body.substr(open + 1, close - open - 1);
  EXPECT_EQ(text.substr(0, value.size()), value);
  const std::size_t rem = value.size() % 7;
  EXPECT_TRUE(rem == 0 || rem == 4 || rem == 6) << rem;
}

// Every character is '+', three bytes once encoded: the cut must count them at three.
TEST(FormBodies, ValuesOfEncodedCharactersAreCutOnAWholeEscape) {
  // GetAppInfo: the version (ranked before the model) gives way entirely, then the model
  // keeps (1023 - 31 fixed bytes) / 3 = 330 escapes.
  const std::string model(1200, '+');
  std::string expected = "strLoginUIN=7&strModelNameVer=";
  for (int i = 0; i < 330; ++i) expected += "%2B";
  expected += ",";
  EXPECT_EQ(BuildGetAppInfoBody(7, U8(model), U8("1.0")), expected);

  // WriteLog: 34 + 13 fixed bytes leave room for (4095 - 47) / 3 = 1349 escapes.
  const std::string text(2000, '+');
  std::string log = "strLoginUIN=5&strLogInfo=Tool,1.0[";
  for (int i = 0; i < 1349; ++i) log += "%2B";
  log += "]&nLogLevel=1";
  EXPECT_EQ(BuildWriteLogBody(5, U8("Tool"), Dbcs("1.0"), U8(text), 1), log);
}

TEST(FormBodyBuilder, WithinARankTheLaterValueGivesWayFirst) {
  const std::string first(20, 'a');
  const std::string second(20, 'b');
  // 3 + 20 + 3 + 20 = 46 bytes into 40: the second value loses 6.
  FormBodyBuilder body;
  body.Literal("a=").Text(U8(first), 1).Literal("&b=").Text(U8(second), 1).Literal("!");
  EXPECT_EQ(body.Build(41), "a=" + first + "&b=" + std::string(14, 'b') + "!");
  // Into 20: the second value is gone, then the first keeps 20 - 6 = 14.
  EXPECT_EQ(body.Build(21), "a=" + std::string(14, 'a') + "&b=!");
}

TEST(FormBodyBuilder, FixedTextOverTheLimitIsCutAtTheLimit) {
  const std::string fixed(50, 'L');
  EXPECT_EQ(FormBodyBuilder{}.Literal(fixed).Build(16), std::string(15, 'L'));
  // Values give way entirely before the fixed text is cut.
  EXPECT_EQ(FormBodyBuilder{}.Literal(fixed).Text(U8("value"), 1).Int(12345).Build(52), fixed + "1");
  EXPECT_EQ(FormBodyBuilder{}.Literal(fixed).Build(1), "");
  EXPECT_EQ(FormBodyBuilder{}.Literal(fixed).Build(0), "");
}

}  // namespace
}  // namespace zandle
