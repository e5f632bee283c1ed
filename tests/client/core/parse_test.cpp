#include <gtest/gtest.h>

#include "client/core/app_info.h"
#include "client/core/parse_int.h"

namespace zandle {
namespace {

TEST(ParseInt, ReadsSignAndDigitsUpToFirstOtherCharacter) {
  EXPECT_EQ(ParseInt(u"12345"), 12345);
  EXPECT_EQ(ParseInt(u"-1"), -1);
  EXPECT_EQ(ParseInt(u"12abc"), 12);
  EXPECT_EQ(ParseInt(u""), 0);
  EXPECT_EQ(ParseInt(u"-"), 0);
  EXPECT_EQ(ParseInt(u"--5"), 0);
  EXPECT_EQ(ParseInt(u" 7"), 0);
  EXPECT_EQ(ParseInt(u"+7"), 0);
  EXPECT_EQ(ParseInt(u"0x1F"), 0);
  EXPECT_EQ(ParseInt(u"\uFF11"), 0);  // fullwidth digit is not a digit
}

TEST(ParseInt, WrapsIn32Bits) {
  EXPECT_EQ(ParseInt(u"2147483647"), 2147483647);
  EXPECT_EQ(ParseInt(u"2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt(u"4294967296"), 0);
  EXPECT_EQ(ParseInt(u"4294967297"), 1);
  // 40 digits: no trap, just wrap-around.
  EXPECT_EQ(ParseInt(u"1234567890123456789012345678901234567890"), -834729262);
}

TEST(ParseAccountUin, TakesTheNumberBeforeTheFirstBackslash) {
  EXPECT_EQ(ParseAccountUin(u"12345\\alice"), 12345);
  EXPECT_EQ(ParseAccountUin(u"987"), 987);
  EXPECT_EQ(ParseAccountUin(u"alice\\12345"), 0);
  EXPECT_EQ(ParseAccountUin(u"-42\\x\\y"), -42);
  EXPECT_EQ(ParseAccountUin(u"\\12"), 0);
  EXPECT_EQ(ParseAccountUin(u""), 0);
}

TEST(LogFilter, ComparesLevelsAsUnsigned) {
  // Warning level 2: 0, 1, 2 pass; 3 and -1 are stopped.
  EXPECT_TRUE(PassesLogFilter(2, 0));
  EXPECT_TRUE(PassesLogFilter(2, 1));
  EXPECT_TRUE(PassesLogFilter(2, 2));
  EXPECT_FALSE(PassesLogFilter(2, 3));
  EXPECT_FALSE(PassesLogFilter(2, -1));
  // -1 lets everything through; 0 (the initial level) only level 0.
  EXPECT_TRUE(PassesLogFilter(-1, INT32_MIN));
  EXPECT_TRUE(PassesLogFilter(-1, 99));
  EXPECT_TRUE(PassesLogFilter(0, 0));
  EXPECT_FALSE(PassesLogFilter(0, 1));
  // A negative warning level other than -1 is a huge unsigned number.
  EXPECT_TRUE(PassesLogFilter(-2, 5));
  EXPECT_TRUE(PassesLogFilter(-2, -3));
  EXPECT_FALSE(PassesLogFilter(-2, -1));
}

}  // namespace
}  // namespace zandle

#include "client/core/server_address.h"

namespace zandle {
namespace {

TEST(ServerAddress, HostWithOptionalPort) {
  ServerAddress a;
  ASSERT_TRUE(ParseServerAddress(u"10.1.2.3", a));
  EXPECT_EQ(a.host, u"10.1.2.3");
  EXPECT_EQ(a.port, 80);
  ASSERT_TRUE(ParseServerAddress(u"127.0.0.1:8080", a));
  EXPECT_EQ(a.host, u"127.0.0.1");
  EXPECT_EQ(a.port, 8080);
  ASSERT_TRUE(ParseServerAddress(u"[::1]:65535", a));
  EXPECT_EQ(a.host, u"::1");
  EXPECT_EQ(a.port, 65535);
  ASSERT_TRUE(ParseServerAddress(u"[fe80::1]", a));
  EXPECT_EQ(a.host, u"fe80::1");
  EXPECT_EQ(a.port, 80);
  ASSERT_TRUE(ParseServerAddress(u"::1", a));
  EXPECT_EQ(a.host, u"::1");
  EXPECT_EQ(a.port, 80);
}

TEST(ServerAddress, RejectsBadPortsAndEmptyHosts) {
  ServerAddress a;
  a.host = u"unchanged";
  for (const char16_t* bad : {u"", u"host:", u"host:0", u"host:65536", u"host:80x", u"host:-1", u":80",
                              u"[::1", u"[::1]x", u"[::1]:", u"[]:80", u"host:123456"}) {
    EXPECT_FALSE(ParseServerAddress(bad, a)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
  }
  EXPECT_EQ(a.host, u"unchanged");
}

}  // namespace
}  // namespace zandle
