// Requests on the wire: method, path, version, header and bodies, byte for byte.
#include "client_fixture.h"

namespace zandle::test {
namespace {

TEST_F(ClientTest, EveryMethodIsOneFormPostInHttp10) {
  ASSERT_NE(dll.getAppInfoA(7, "Tool", "1.0"), nullptr);
  EXPECT_EQ(dll.UserEnterA(7, "Demo"), 1);
  EXPECT_EQ(dll.WriteLogA(7, 0, "hello world"), 1);
  EXPECT_EQ(dll.UserLeave(42), 1);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  const char* methods[] = {"GetAppInfo", "UserEnter", "WriteLog", "UserLeave"};
  const char* bodies[] = {"strLoginUIN=7&strModelNameVer=Tool,1.0", "strLoginUIN=7&strModelNameVer=Tool-Demo,1.0",
                          "strLoginUIN=7&strLogInfo=Tool,1.0[hello world]&nLogLevel=0", "nLoginDetailID=42"};
  for (std::size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE(methods[i]);
    EXPECT_EQ(requests[i].requestLine, std::string("POST ") + kPathPrefix + methods[i] + " HTTP/1.0");
    EXPECT_EQ(requests[i].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[i].Header("Content-Length"), std::to_string(requests[i].body.size()));
    EXPECT_EQ(requests[i].Header("User-Agent"), "Zandle");
    EXPECT_EQ(requests[i].body, bodies[i]);
  }
}

TEST_F(ClientTest, SatisfactionReportCarriesModelVersionAndFunction) {
  ASSERT_NE(dll.getAppInfoA(12, "Tool", "1.0"), nullptr);
  dll.SetServerA(nullptr, 1);  // echo on, server kept
  server.ClearRequests();
  int level = 0;
  EXPECT_EQ(dll.SatisfactionA(0, "Save", "http://example.invalid/more", &level), 0);
  // The survey trigger's echo goes to the same server: the server was kept.
  ASSERT_EQ(server.MethodsCalled(), std::vector<std::string>{"WriteLog"});
  EXPECT_EQ(server.Requests()[0].body,
            "strLoginUIN=12&strLogInfo=Tool,1.0[" + Utf8(L"\u5F39\u51FA\u6EE1\u610F\u5EA6\u8C03\u67E5\u4FE1\u606F\u6846") +
                "]&nLogLevel=0");
}

TEST_F(ClientTest, UserEnterWithoutExtraTextUsesTheShortForm) {
  NameTool();
  EXPECT_EQ(dll.UserEnterW(9, nullptr), 1);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=9&strModelNameVer=Tool,1.0");
}

TEST_F(ClientTest, FormValuesEncodeOnlyTheFourFormCharacters) {
  NameTool("T&x=1", "2+3");
  EXPECT_EQ(dll.WriteLogA(5, 0, "100% a&b=c+d ?#/"), 1);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=5&strLogInfo=T%26x%3D1,2%2B3[100%25 a%26b%3Dc%2Bd ?#/]&nLogLevel=0");
}

TEST_F(ClientTest, WideTextsArriveAsUtf8WhateverTheCodePage) {
  // Representable in the process code page under test (1252 or 936).
  const std::wstring model = GetACP() == 936 ? L"\u5DE5\u5177" : L"Outil\u00E9";
  const std::wstring text = GetACP() == 936 ? L"\u4FDD\u5B58\u4E86" : L"caf\u00E9";
  ASSERT_NE(dll.getAppInfoW(3, model.c_str(), L"1.0"), nullptr);
  EXPECT_EQ(server.Requests()[0].body, "strLoginUIN=3&strModelNameVer=" + Utf8(model) + ",1.0");
  server.ClearRequests();
  EXPECT_EQ(dll.WriteLogW(3, 0, text.c_str()), 1);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=3&strLogInfo=" + Utf8(model) + ",1.0[" + Utf8(text) + "]&nLogLevel=0");
  server.ClearRequests();
  // The same through the narrow exports.
  EXPECT_EQ(dll.WriteLogA(3, 0, Ansi(text).c_str()), 1);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=3&strLogInfo=" + Utf8(model) + ",1.0[" + Utf8(text) + "]&nLogLevel=0");
}

TEST_F(ClientTest, EchoSendsEachBodyAsALogLineBeforeTheRequest) {
  dll.SetServerW(nullptr, 1);
  ASSERT_NE(dll.getAppInfoA(7, "Tool", "1.0"), nullptr);
  EXPECT_EQ(server.MethodsCalled(), (std::vector<std::string>{"WriteLog", "GetAppInfo", "WriteLog"}));
  const auto first = server.Requests();
  EXPECT_EQ(first[0].body, "strLoginUIN=7&strLogInfo=Tool,1.0[strLoginUIN%3D7%26strModelNameVer%3DTool,1.0]&nLogLevel=0");
  EXPECT_EQ(first[2].body,
            "strLoginUIN=7&strLogInfo=Tool,1.0[<AppInfo><WarningLevel>-1</WarningLevel><FunName>Print,Save</FunName>"
            "</AppInfo>]&nLogLevel=0");
  server.ClearRequests();

  EXPECT_EQ(dll.UserEnterA(7, "Demo"), 1);
  EXPECT_EQ(server.MethodsCalled(), (std::vector<std::string>{"WriteLog", "UserEnter"}));
  EXPECT_EQ(server.Requests()[0].body,
            "strLoginUIN=7&strLogInfo=Tool,1.0[strLoginUIN%3D7%26strModelNameVer%3DTool-Demo,1.0]&nLogLevel=0");
  server.ClearRequests();

  EXPECT_EQ(dll.UserLeave(5), 1);
  EXPECT_EQ(server.MethodsCalled(), (std::vector<std::string>{"WriteLog", "UserLeave"}));
  EXPECT_EQ(server.Requests()[0].body, "strLoginUIN=7&strLogInfo=Tool,1.0[nLoginDetailID%3D5]&nLogLevel=0");
  server.ClearRequests();

  // Log lines themselves are never echoed.
  EXPECT_EQ(dll.WriteLogA(7, 0, "x"), 1);
  EXPECT_EQ(server.MethodsCalled(), std::vector<std::string>{"WriteLog"});
}

TEST_F(ClientTest, SecondGetAppInfoIsServedFromTheCacheButRenamesTheTool) {
  const char* first = dll.getAppInfoA(7, "Tool", "1.0");
  ASSERT_NE(first, nullptr);
  const std::string text = first;
  EXPECT_EQ(text, "<AppInfo><WarningLevel>-1</WarningLevel><FunName>Print,Save</FunName></AppInfo>");
  server.ClearRequests();
  const wchar_t* again = dll.getAppInfoW(7, L"Other", L"2.0");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(std::wstring(again), L"<AppInfo><WarningLevel>-1</WarningLevel><FunName>Print,Save</FunName></AppInfo>");
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(dll.WriteLogA(7, 0, "x"), 1);
  EXPECT_EQ(OnlyRequest().body, "strLoginUIN=7&strLogInfo=Other,2.0[x]&nLogLevel=0");
}

TEST_F(ClientTest, NonzeroUinIsStoredAndUsedForLaterZeroUins) {
  NameTool("Tool", "1.0", 0 + 1);
  EXPECT_EQ(dll.UserEnterA(4242, nullptr), 1);
  EXPECT_EQ(dll.WriteLogA(0, 0, "x"), 1);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].body, "strLoginUIN=4242&strLogInfo=Tool,1.0[x]&nLogLevel=0");
}

TEST_F(ClientTest, WarningLevelFromAppInfoFiltersLogLines) {
  // Before any AppInfo only level 0 passes.
  EXPECT_EQ(dll.WriteLogA(7, 1, "early"), 0);
  EXPECT_TRUE(server.Requests().empty());

  server.SetResponder([](const HttpRequest& r) {
    HttpReply reply = LoopbackServer::DefaultReply(r);
    if (r.Method() == "GetAppInfo") reply.body = AppInfoReplyBody(2, "Print");
    return reply;
  });
  NameTool();
  for (int level : {0, 1, 2, 3, -1}) dll.WriteLogA(7, level, "x");
  std::vector<std::string> bodies;
  for (const auto& r : server.Requests()) bodies.push_back(r.body.substr(r.body.rfind('=') + 1));
  EXPECT_EQ(bodies, (std::vector<std::string>{"0", "1", "2"}));
}

TEST_F(ClientTest, WarningLevelMinusOneLetsEveryLevelThrough) {
  NameTool();  // the default reply carries -1
  for (int level : {0, 7, -5, 2147483647}) EXPECT_EQ(dll.WriteLogA(7, level, "x"), 1) << level;
  EXPECT_EQ(server.Requests().size(), 4u);
}

}  // namespace
}  // namespace zandle::test
