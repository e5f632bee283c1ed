// Wide texts reach the service as UTF-8 straight from UTF-16, whatever the local code
// page lacks; narrow texts keep the bodies they always had.
#include <windows.h>

#include "client_fixture.h"

namespace zandle::test {
namespace {

// The form value as the service must receive it: UTF-8 with four bytes percent-encoded.
std::string Form(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '%': out += "%25"; break;
      case '&': out += "%26"; break;
      case '=': out += "%3D"; break;
      case '+': out += "%2B"; break;
      default: out += c;
    }
  }
  return out;
}

// Chinese, Japanese, a character outside the Basic Multilingual Plane, the four
// encoded characters: most of it lies outside code page 1252, the emoji outside 936.
const std::wstring kModel = L"\u6865\u6881 Tool \U0001F527";
const std::wstring kExtra = L"\u4E13\u4E1A\u7248 Pro a&b";
const std::wstring kLine = L"\u9519\u8BEF\uFF1A\u65E0\u6CD5\u6253\u5F00 C:\\\u9879\u76EE\\\u6865.dwg "
                           L"\u65E5\u672C\u8A9E\u30C6\u30AD\u30B9\u30C8 \U0001F600 100% a&b=c+d";
const std::wstring kFunction = L"\u6253\u5370\U0001F5A8";

class WideTextTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    server.SetResponder([](const HttpRequest& r) {
      HttpReply reply = LoopbackServer::DefaultReply(r);
      if (r.Method() == "GetAppInfo") reply.body = AppInfoReplyBody(2, Utf8(kFunction) + ",Print");
      return reply;
    });
  }
};

TEST_F(WideTextTest, EveryWideExportSendsExactUtf8) {
  ASSERT_NE(dll.getAppInfoW(3, kModel.c_str(), L"1.0"), nullptr);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=3&strModelNameVer=" + Form(Utf8(kModel)) + ",1.0");
  server.ClearRequests();

  EXPECT_EQ(dll.UserEnterW(3, kExtra.c_str()), 1);
  EXPECT_EQ(OnlyRequest().body,
            "strLoginUIN=3&strModelNameVer=" + Form(Utf8(kModel)) + "-" + Form(Utf8(kExtra)) + ",1.0");
  server.ClearRequests();

  EXPECT_EQ(dll.WriteLogW(3, 1, kLine.c_str()), 1);
  EXPECT_EQ(OnlyRequest().body,
            "strLoginUIN=3&strLogInfo=" + Form(Utf8(kModel)) + ",1.0[" + Form(Utf8(kLine)) + "]&nLogLevel=1");
  server.ClearRequests();

  // A function name the local code page lacks still matches its configuration.
  int level = 0;
  EXPECT_EQ(dll.SatisfactionW(3, kFunction.c_str(), L"", &level), 0);
  const HWND popup = SurveyPopup();
  ASSERT_NE(popup, nullptr);
  ClickAt(popup, 85, 82);
  EXPECT_EQ(level, 1);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=3&strModelNameVer=" + Form(Utf8(kModel)) + "-1.0," +
                                    Form(Utf8(kFunction)) + "&nSatisLevel=1&strSatisInfo=NULL");
}

TEST_F(WideTextTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  NameTool();
  const wchar_t text[] = {L'a', 0xD800, L'b', 0xDC00, 0};
  EXPECT_EQ(dll.WriteLogW(7, 0, text), 1);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=7&strLogInfo=Tool,1.0[a\xEF\xBF\xBD" "b\xEF\xBF\xBD]&nLogLevel=0");
}

TEST_F(WideTextTest, RepresentableTextsGiveTheSameBodiesThroughEitherExport) {
  // Texts the code page under test holds, so that the narrow exports can carry them.
  const bool chinese = GetACP() == 936;
  const std::wstring model = chinese ? L"\u6865\u6881\u8BBE\u8BA1" : L"Aper\u00E7u";
  const std::wstring line = chinese ? L"\u4FDD\u5B58 100% a&b=c+d" : L"caf\u00E9 100% a&b=c+d";
  ASSERT_NE(dll.getAppInfoW(5, model.c_str(), L"2.0"), nullptr);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=5&strModelNameVer=" + Form(Utf8(model)) + ",2.0");
  server.ClearRequests();
  dll.UserEnterW(5, line.c_str());
  dll.WriteLogW(5, 0, line.c_str());
  // The reply is cached: the narrow call only renames the tool.
  ASSERT_NE(dll.getAppInfoA(5, Ansi(model).c_str(), "2.0"), nullptr);
  dll.UserEnterA(5, Ansi(line).c_str());
  dll.WriteLogA(5, 0, Ansi(line).c_str());
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].body, requests[2].body);
  EXPECT_EQ(requests[1].body, requests[3].body);
  EXPECT_EQ(requests[1].body,
            "strLoginUIN=5&strLogInfo=" + Form(Utf8(model)) + ",2.0[" + Form(Utf8(line)) + "]&nLogLevel=0");
}

TEST_F(WideTextTest, LongWideTextIsCutWhereTheNarrowBufferWouldCutIt) {
  NameTool();
  // 1,023 bytes fit the export's buffer: two per character in 936, one (the replacement
  // '?') in 1252.
  const std::wstring line(1500, L'\u6865');
  const size_t kept = GetACP() == 936 ? 511 : 1023;
  EXPECT_EQ(dll.WriteLogW(7, 0, line.c_str()), 1);
  EXPECT_EQ(OnlyRequest().body,
            "strLoginUIN=7&strLogInfo=Tool,1.0[" + Utf8(line.substr(0, kept)) + "]&nLogLevel=0");
}

}  // namespace
}  // namespace zandle::test
