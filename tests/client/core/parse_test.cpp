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
