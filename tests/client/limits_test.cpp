// Over-long and null arguments, long replies, and the DLL's shape.
#include "client_fixture.h"

namespace zandle::test {
namespace {

// Repeats a wide character that the process code page can represent in two bytes
// under 936 and in one under 1252.
std::wstring WideRun(std::size_t count) {
  return std::wstring(count, GetACP() == 936 ? L'\u4E2D' : L'\u00E9');
}

std::string ValueBetween(const std::string& body, const std::string& open, const std::string& close) {
  const auto start = body.find(open);
  const auto end = body.rfind(close);
  if (start == std::string::npos || end == std::string::npos || end < start) return "<missing>";
  return body.substr(start + open.size(), end - start - open.size());
}

bool IsWholeUtf8(const std::string& s) {
  return s.empty() ||
         ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0) > 0;
}

TEST_F(ClientTest, OverlongModelNameAndVersionAreCutAtACharacterBoundary) {
  const std::wstring longName = WideRun(400);
  ASSERT_NE(dll.getAppInfoW(7, longName.c_str(), WideRun(300).c_str()), nullptr);
  server.ClearRequests();
  EXPECT_EQ(dll.WriteLogA(7, 0, "x"), 1);
  const std::string body = OnlyRequest().body;
  const std::string model = ValueBetween(body, "strLogInfo=", ",");
  // 255 bytes in the local code page: 127 double-byte or 255 single-byte characters.
  const std::size_t chars = GetACP() == 936 ? 127 : 255;
  EXPECT_EQ(model, Utf8(WideRun(chars)));
  EXPECT_EQ(body.substr(body.size() - 13), "]&nLogLevel=0");
}

TEST_F(ClientTest, OverlongLogTextKeepsTheLevelAndWholeCharacters) {
  NameTool();
  const std::wstring text = WideRun(5000);
  EXPECT_EQ(dll.WriteLogW(7, 0, text.c_str()), 1);
  const std::string body = OnlyRequest().body;
  EXPECT_LE(body.size(), 4095u);
  const std::string value = ValueBetween(body, "[", "]&nLogLevel=0");
  EXPECT_TRUE(IsWholeUtf8(value));
  EXPECT_GT(value.size(), 900u);  // the wide text was first cut to 1023 bytes
  EXPECT_EQ(value, Utf8(WideRun(value.size() / Utf8(WideRun(1)).size())));

  server.ClearRequests();
  const std::string narrow(10000, 'a');
  EXPECT_EQ(dll.WriteLogA(7, 0, narrow.c_str()), 1);
  const std::string narrowBody = OnlyRequest().body;
  EXPECT_EQ(narrowBody.size(), 4095u);
  EXPECT_EQ(narrowBody.substr(narrowBody.size() - 13), "]&nLogLevel=0");
}

TEST_F(ClientTest, NullArgumentsAreHandledAsEmptyOrAbsent) {
  EXPECT_NE(dll.getAppInfoA(7, nullptr, nullptr), nullptr);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=7&strModelNameVer=,");
  server.ClearRequests();
  EXPECT_NE(dll.getAppInfoW(7, nullptr, nullptr), nullptr);
  EXPECT_EQ(dll.WriteLogA(7, 0, nullptr), 1);
  EXPECT_EQ(dll.WriteLogW(7, 0, nullptr), 1);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), 1);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);  // the second getAppInfo came from the cache
  EXPECT_EQ(requests[0].body, "strLoginUIN=7&strLogInfo=,[]&nLogLevel=0");
  EXPECT_EQ(requests[1].body, "strLoginUIN=7&strLogInfo=,[]&nLogLevel=0");
  EXPECT_EQ(requests[2].body, "strLoginUIN=7&strModelNameVer=,");
  server.ClearRequests();

  int level = -9;
  EXPECT_EQ(dll.SatisfactionA(7, nullptr, nullptr, &level), 0);
  EXPECT_EQ(dll.SatisfactionW(7, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(dll.SatisfactionW(7, L"Print", nullptr, nullptr), 0);
  EXPECT_EQ(level, -9);
}

TEST_F(ClientTest, LongReplySplitsAMultibyteCharacterAcrossReadChunks) {
  // Padding before the start tag puts a three-byte character across byte 4096.
  const std::string name = "\xE4\xBF\x9D\xE5\xAD\x98\xE4\xBA\x86";  // 保存了: an odd count of CJK characters
  std::string reply = AppInfoReplyBody(-1, "Print," + name);
  const std::size_t namePos = reply.find(name);
  const std::size_t pad = 4096 - namePos - 1;  // first byte of the name's first character at 4095
  reply.insert(reply.find("<string"), std::string(pad, ' '));
  ASSERT_EQ(reply.substr(4095, 3), "\xE4\xBF\x9D");
  server.SetResponder([reply](const HttpRequest& r) {
    HttpReply answer = LoopbackServer::DefaultReply(r);
    if (r.Method() == "GetAppInfo") answer.body = reply;
    return answer;
  });
  dll.SetServerW(nullptr, 1);  // echo the decoded AppInfo too
  const wchar_t* text = dll.getAppInfoW(7, L"Tool", L"1.0");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::wstring(text), L"<AppInfo><WarningLevel>-1</WarningLevel><FunName>Print,\u4FDD\u5B58\u4E86</FunName></AppInfo>");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[2].body.find("<FunName>Print," + name + "</FunName>"), std::string::npos) << requests[2].body;

  // The name is a configured survey function now.
  server.ClearRequests();
  EXPECT_EQ(dll.SatisfactionW(7, L"\u4FDD\u5B58\u4E86", L"", nullptr), 0);
  if (GetACP() == 936) {  // representable in the local code page only there
    EXPECT_EQ(server.MethodsCalled(), std::vector<std::string>{"WriteLog"});
  }
}

TEST_F(ClientTest, AppInfoTextIsCutAt1021CharactersWithoutSplittingAPair) {
  std::string names;
  for (int i = 0; i < 300; ++i) names += "F" + std::to_string(i) + ",";
  names += "\xF0\x9F\x98\x80";  // a character outside the BMP at the end
  server.SetResponder([names](const HttpRequest& r) {
    HttpReply answer = LoopbackServer::DefaultReply(r);
    if (r.Method() == "GetAppInfo") answer.body = AppInfoReplyBody(-1, names);
    return answer;
  });
  const wchar_t* text = dll.getAppInfoW(7, L"Tool", L"1.0");
  ASSERT_NE(text, nullptr);
  const std::wstring got(text);
  EXPECT_LE(got.size(), 1021u);
  EXPECT_GE(got.size(), 1020u);
  EXPECT_FALSE(got.back() >= 0xD800 && got.back() <= 0xDBFF);
  const char* narrow = dll.getAppInfoA(7, "Tool", "1.0");
  ASSERT_NE(narrow, nullptr);
  EXPECT_LE(std::string(narrow).size(), 1023u);
}

}  // namespace
}  // namespace zandle::test
