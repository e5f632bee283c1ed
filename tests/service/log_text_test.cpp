// The benchmarks' log lines: as varied as a tool's, with their search terms as
// often as the benchmarks count on, and sent as they are in a form body.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "testkit/log_text.h"

namespace zandle::servicetest {
namespace {

TEST(LogTextMakerTest, LinesAreVariedCarryTheTermsAndNeedNoEncoding) {
  testkit::LogTextMaker maker(7);
  constexpr int kLines = 200'000;
  int timeouts = 0, checksums = 0;
  std::set<std::string> pieces, lines;
  for (int i = 0; i < kLines; ++i) {
    const std::string line = maker.next();
    ASSERT_EQ(line.find_first_of("&=%+[]"), std::string::npos) << line;
    ASSERT_GE(line.size(), 20u) << line;
    timeouts += line.find("timeout") != std::string::npos;
    checksums += line.find("checksum mismatch") != std::string::npos;
    if (i < 1024) {
      lines.insert(line);
      for (std::size_t at = 0; at + 3 <= line.size(); ++at) pieces.insert(line.substr(at, 3));
    }
  }
  // About one in nine and one in a thousand.
  EXPECT_NEAR(timeouts, kLines / 9, kLines / 90);
  EXPECT_NEAR(checksums, kLines / 1000, kLines / 4000);
  // A block of lines as the text filters take them: thousands of distinct pieces.
  EXPECT_GT(pieces.size(), 3000u);
  EXPECT_GT(lines.size(), 1000u);
}

TEST(LogTextMakerTest, TheSameSeedMakesTheSameLines) {
  testkit::LogTextMaker first(3), second(3), other(4);
  bool differs = false;
  for (int i = 0; i < 100; ++i) {
    const std::string line = first.next();
    EXPECT_EQ(line, second.next());
    differs = differs || line != other.next();
  }
  EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace zandle::servicetest
