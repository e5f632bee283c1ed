// What the service answers, and what the library makes of it; the sticky network flag.
#include <chrono>

#include "client_fixture.h"

namespace zandle::test {
namespace {

HttpReply Answer(int status, std::string body, std::string contentType = "text/xml; charset=utf-8") {
  HttpReply reply;
  reply.status = status;
  reply.body = std::move(body);
  reply.contentType = std::move(contentType);
  return reply;
}

void AnswerEverything(LoopbackServer& server, HttpReply reply) {
  server.SetResponder([reply](const HttpRequest&) { return reply; });
}

TEST_F(ClientTest, IntegerRepliesAreReadUpToTheNextTag) {
  const struct {
    std::string body;
    int expected;
  } cases[] = {
      {IntReplyBody(-1), -1},
      {"<?xml version=\"1.0\"?>\r\n<int xmlns=\"http://tempuri.org/WriteLogWeb\">12ab</int>", 12},
      {"<int xmlns=\"http://tempuri.org/WriteLogWeb\"></int>", 0},
      {"<int xmlns=\"http://tempuri.org/WriteLogWeb\">0000000000000000000000000000004200000000</int>", 42},
      {"<int xmlns=\"http://tempuri.org/WriteLogWeb\">77", 77},
  };
  for (const auto& c : cases) {
    AnswerEverything(server, Answer(200, c.body));
    EXPECT_EQ(dll.UserEnterA(7, nullptr), c.expected) << c.body;
  }
}

TEST_F(ClientTest, ErrorPagesGarbageAndForeignNamespacesFailWithoutStoppingTheClient) {
  const HttpReply replies[] = {
      Answer(404, "<html><body>Not Found</body></html>", "text/html"),
      Answer(500, "<html><body>Server Error</body></html>", "text/html"),
      Answer(200, std::string("\x01\xff\xfe garbage \0 bytes", 18), "application/octet-stream"),
      Answer(200, "<int xmlns=\"http://example.org/Other\">5</int>"),
      Answer(200, ""),
      Answer(500, IntReplyBody(9)),  // the status is never examined
  };
  const int expected[] = {-1, -1, -1, -1, -1, 9};
  for (std::size_t i = 0; i < std::size(replies); ++i) {
    AnswerEverything(server, replies[i]);
    EXPECT_EQ(dll.UserEnterA(7, nullptr), expected[i]) << i;
    EXPECT_EQ(dll.WriteLogA(7, 0, "x"), expected[i] == -1 ? 0 : 1) << i;
  }
  AnswerEverything(server, Answer(404, "nothing"));
  EXPECT_EQ(dll.getAppInfoA(7, "Tool", "1.0"), nullptr);
  EXPECT_EQ(dll.getAppInfoW(7, L"Tool", L"1.0"), nullptr);
  // None of these was a network error: every call reached the server.
  EXPECT_EQ(server.Requests().size(), 2 * std::size(replies) + 2);
}

TEST_F(ClientTest, AFailedGetAppInfoIsTriedAgainNextTime) {
  AnswerEverything(server, Answer(500, "down"));
  EXPECT_EQ(dll.getAppInfoA(7, "Tool", "1.0"), nullptr);
  server.SetResponder(&LoopbackServer::DefaultReply);
  EXPECT_NE(dll.getAppInfoA(7, "Tool", "1.0"), nullptr);
  EXPECT_EQ(server.MethodsCalled(), (std::vector<std::string>{"GetAppInfo", "GetAppInfo"}));
}

TEST_F(ClientTest, ConnectionClosedMidReplyParsesWhatArrived) {
  HttpReply cut = Answer(200, IntReplyBody(5) + std::string(2000, ' '));
  cut.kind = HttpReply::Kind::CutAfter;
  cut.cutAfterBodyBytes = IntReplyBody(5).size() - 6;  // up to and including "5"
  AnswerEverything(server, cut);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), 5);
}

TEST_F(ClientTest, ConnectionClosedWithoutAReplyFails) {
  HttpReply silent;
  silent.kind = HttpReply::Kind::CloseWithoutAnswer;
  AnswerEverything(server, silent);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), -1);
}

TEST(NetworkFlag, RefusedConnectionSetsTheFlagAndNothingIsSentAfterwards) {
  std::wstring deadAddress;
  {
    LoopbackServer closed;  // a port that nobody listens on once this closes
    deadAddress = closed.Address();
  }
  LoopbackServer server;
  ZandleDll dll;
  dll.SetServerW(deadAddress.c_str(), 0);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), -1);

  dll.SetServerW(server.Address().c_str(), 0);  // the network is back
  EXPECT_EQ(dll.getAppInfoA(7, "Tool", "1.0"), nullptr);
  EXPECT_EQ(dll.UserEnterW(7, L"x"), -1);
  EXPECT_EQ(dll.UserLeave(3), 0);
  EXPECT_EQ(dll.WriteLogA(7, 0, "x"), 0);
  int level = 0;
  EXPECT_EQ(dll.SatisfactionA(7, "Tool", "", &level), 0);
  EXPECT_EQ(server.ConnectionCount(), 0);
}

TEST(NetworkFlag, ASilentServerTimesOutWithinTheTimeoutsAndSetsTheFlag) {
  LoopbackServer server;
  server.SetResponder([](const HttpRequest&) {
    HttpReply reply;
    reply.kind = HttpReply::Kind::NeverAnswer;
    return reply;
  });
  ZandleDll dll;
  dll.SetServerW(server.Address().c_str(), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(dll.UserEnterA(7, nullptr), -1);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // One receive time-out (5 s), with room for a slow machine; never a hang.
  EXPECT_LT(elapsed, std::chrono::seconds(16));
  EXPECT_EQ(server.ConnectionCount(), 1);
  EXPECT_EQ(dll.WriteLogA(7, 0, "x"), 0);
  EXPECT_EQ(server.ConnectionCount(), 1);
}

TEST(NetworkFlag, AMalformedServerSettingFailsLikeAnUnresolvableHost) {
  LoopbackServer server;
  ZandleDll dll;
  dll.SetServerA("127.0.0.1:99999", 0);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), -1);
  dll.SetServerW(server.Address().c_str(), 0);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), -1);
  EXPECT_EQ(server.ConnectionCount(), 0);
}

TEST(ServerSetting, ReachesIpv6LoopbackInBrackets) {
  LoopbackServer server(/*ipv6=*/true);
  ZandleDll dll;
  dll.SetServerW(server.Address().c_str(), 0);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), 1);
  EXPECT_EQ(server.MethodsCalled(), std::vector<std::string>{"UserEnter"});
}

TEST(ServerSetting, EmptyServerFailsAndNullKeepsTheServer) {
  LoopbackServer server;
  ZandleDll dll;
  dll.SetServerW(server.Address().c_str(), 0);
  dll.SetServerA(nullptr, 0);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), 1);
  dll.SetServerW(L"", 0);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), -1);
  EXPECT_EQ(server.ConnectionCount(), 1);
}

}  // namespace
}  // namespace zandle::test

namespace zandle::test {
namespace {

HttpReply Endless(HttpReply::Kind kind) {
  HttpReply reply;
  reply.kind = kind;
  reply.body = IntReplyBody(6);
  return reply;
}

TEST(EndlessReplies, AFloodStopsAtTheReplyLimitAndIsReadAsAReplyCutShort) {
  LoopbackServer server;
  server.SetResponder([](const HttpRequest&) { return Endless(HttpReply::Kind::Flood); });
  ZandleDll dll;
  dll.SetServerW(server.Address().c_str(), 0);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), 6);
  EXPECT_EQ(dll.UserEnterA(7, nullptr), -1);  // a failed read sets the network flag
  EXPECT_EQ(server.ConnectionCount(), 1);
}

TEST(EndlessReplies, ATrickleEndsAtTheExchangeDeadline) {
  LoopbackServer server;
  server.SetResponder([](const HttpRequest&) { return Endless(HttpReply::Kind::Trickle); });
  ZandleDll dll;
  dll.SetServerW(server.Address().c_str(), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(dll.UserEnterA(7, nullptr), 6);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(40));
}

}  // namespace
}  // namespace zandle::test
