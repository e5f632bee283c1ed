#include <gtest/gtest.h>

#include <string>

#include "client/core/app_info.h"
#include "client/core/reply_parser.h"

namespace zandle {
namespace {

const std::u16string kDecl = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
const std::u16string kIntTag = u"<int xmlns=\"http://tempuri.org/WriteLogWeb\">";
const std::u16string kStringTag = u"<string xmlns=\"http://tempuri.org/WriteLogWeb\">";

std::int32_t IntOf(const std::u16string& reply, bool* found = nullptr) {
  std::int32_t value = 777;
  const bool ok = ParseIntReply(reply, value);
  if (found) *found = ok;
  return value;
}

TEST(IntReply, ReadsContentUpToNextTagOr32Characters) {
  EXPECT_EQ(IntOf(kDecl + kIntTag + u"-1</int>"), -1);
  EXPECT_EQ(IntOf(kDecl + kIntTag + u"12ab</int>"), 12);
  bool found = false;
  EXPECT_EQ(IntOf(kDecl + kIntTag + u"</int>", &found), 0);
  EXPECT_TRUE(found);
  EXPECT_EQ(IntOf(kIntTag + u"77"), 77);  // no closing tag: runs to the end
  // 40 digits: only the first 32 characters are read.
  const std::u16string forty = u"0000000000000000000000000000004200000000";
  EXPECT_EQ(IntOf(kIntTag + forty + u"</int>"), 42);
}

TEST(IntReply, FailsWithoutTheExactStartTag) {
  bool found = true;
  EXPECT_EQ(IntOf(u"", &found), 777);
  EXPECT_FALSE(found);
  IntOf(u"<int xmlns=\"http://example.org/Other\">5</int>", &found);
  EXPECT_FALSE(found);
  IntOf(u"<int xmlns='http://tempuri.org/WriteLogWeb'>5</int>", &found);
  EXPECT_FALSE(found);
  IntOf(u"<html><body>404 Not Found</body></html>", &found);
  EXPECT_FALSE(found);
  IntOf(u"<int  xmlns=\"http://tempuri.org/WriteLogWeb\">5</int>", &found);
  EXPECT_FALSE(found);
  // Only the first occurrence counts.
  EXPECT_EQ(IntOf(kIntTag + u"x</int>" + kIntTag + u"9</int>"), 0);
}

TEST(TextReply, RemovesLineBreaksAndUnescapesAngleBracketsOnly) {
  std::u16string text;
  ASSERT_TRUE(ParseTextReply(kDecl + kStringTag + u"&lt;AppInfo&gt;\r\n&lt;a&gt;x&amp;y\r&lt;/a&gt;&lt;/AppInfo&gt;</string>", text));
  EXPECT_EQ(text, u"<AppInfo><a>x&amp;y</a></AppInfo>");
  ASSERT_TRUE(ParseTextReply(kStringTag + u"no end tag, to the end", text));
  EXPECT_EQ(text, u"no end tag, to the end");
  ASSERT_TRUE(ParseTextReply(kStringTag + u"</string>", text));
  EXPECT_EQ(text, u"");
  // An encoded ampersand stays encoded.
  ASSERT_TRUE(ParseTextReply(kStringTag + u"&amp;lt;", text));
  EXPECT_EQ(text, u"&amp;lt;");
}

TEST(TextReply, FailsForAnotherNamespaceAndLeavesTextAlone) {
  std::u16string text = u"keep";
  EXPECT_FALSE(ParseTextReply(u"<string xmlns=\"http://tempuri.org/Other\">x</string>", text));
  EXPECT_FALSE(ParseTextReply(kIntTag + u"1</int>", text));
  EXPECT_FALSE(ParseTextReply(u"", text));
  EXPECT_EQ(text, u"keep");
}

struct AppInfoState {
  std::int32_t level = 0;
  FunctionNameSet names;
  void Apply(std::u16string_view text) { ApplyAppInfo(text, level, names); }
};

TEST(AppInfo, ReadsLevelAndNamesInEitherOrder) {
  AppInfoState s;
  s.Apply(u"<AppInfo><WarningLevel>2</WarningLevel><FunName>Print,Save</FunName></AppInfo>");
  EXPECT_EQ(s.level, 2);
  EXPECT_EQ(s.names, (FunctionNameSet{u"Print", u"Save"}));

  AppInfoState t;
  t.Apply(u"<AppInfo><FunName>Cut</FunName><WarningLevel>-1</WarningLevel></AppInfo>");
  EXPECT_EQ(t.level, -1);
  EXPECT_EQ(t.names, (FunctionNameSet{u"Cut"}));
}

TEST(AppInfo, NamesAreExactlyTheTextBetweenSeparators) {
  AppInfoState s;
  s.Apply(u"<AppInfo><FunName>a,,b</FunName></AppInfo>");
  EXPECT_EQ(s.names, (FunctionNameSet{u"a", u"", u"b"}));

  AppInfoState longShort;
  longShort.Apply(u"<AppInfo><FunName>Export,Cut</FunName></AppInfo>");
  EXPECT_EQ(longShort.names, (FunctionNameSet{u"Export", u"Cut"}));

  AppInfoState spaced;
  spaced.Apply(u"<AppInfo><FunName> Print ,a<b,保存</FunName></AppInfo>");
  EXPECT_EQ(spaced.names, (FunctionNameSet{u" Print ", u"a<b", u"保存"}));

  AppInfoState empty;
  empty.Apply(u"<AppInfo><FunName></FunName></AppInfo>");
  EXPECT_EQ(empty.names, (FunctionNameSet{u""}));

  AppInfoState unterminated;
  unterminated.Apply(u"<AppInfo><FunName>x,y");
  EXPECT_EQ(unterminated.names, (FunctionNameSet{u"x", u"y"}));
}

TEST(AppInfo, WithoutAppInfoTagNothingChanges) {
  AppInfoState s;
  s.level = 5;
  s.Apply(u"<WarningLevel>2</WarningLevel><FunName>Print</FunName>");
  EXPECT_EQ(s.level, 5);
  EXPECT_TRUE(s.names.empty());
  // Inner tags before <AppInfo> are not seen.
  s.Apply(u"<FunName>Early</FunName><AppInfo><WarningLevel>1</WarningLevel></AppInfo>");
  EXPECT_EQ(s.level, 1);
  EXPECT_TRUE(s.names.empty());
}

TEST(AppInfo, NamesOnlyGrowAndLongNamesAreCutAtACharacterBoundary) {
  AppInfoState s;
  s.Apply(u"<AppInfo><FunName>A,B</FunName></AppInfo>");
  s.Apply(u"<AppInfo><FunName>B,C</FunName></AppInfo>");
  EXPECT_EQ(s.names, (FunctionNameSet{u"A", u"B", u"C"}));

  // 254 units, then a surrogate pair that would straddle unit 255.
  std::u16string longName(254, u'x');
  longName += u"\U0001F600tail";
  AppInfoState t;
  t.Apply(u"<AppInfo><FunName>" + longName + u",ok</FunName></AppInfo>");
  EXPECT_EQ(t.names, (FunctionNameSet{std::u16string(254, u'x'), u"ok"}));

  std::u16string exact(300, u'y');
  AppInfoState u;
  u.Apply(u"<AppInfo><FunName>" + exact + u"</FunName></AppInfo>");
  EXPECT_EQ(u.names, (FunctionNameSet{std::u16string(255, u'y')}));
}

}  // namespace
}  // namespace zandle
