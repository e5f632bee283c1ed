// The filters a block of log texts keeps: every piece of a term a text
// holds is in the text's filter (a filter may say "maybe", never "no" wrongly),
// and the stored format stays what stores already hold.
#include "store/piece_filters.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace zandle::servicetest {
namespace {

using service::filterPositions;

bool holdsAll(const std::string& filter, const std::string& term) {
  for (std::size_t position : filterPositions(term)) {
    if (filter[position] != '1') return false;
  }
  return true;
}

TEST(PieceFiltersTest, ASingleByteSetsTheBitsOfItsPublishedHash) {
  // FNV-1a of "a" is 0xe40c292c: bits 0xe40c292c % 8192 and (0xe40c292c >> 13) % 8192.
  const std::optional<std::string> filter = service::pairFilter("a");
  ASSERT_TRUE(filter);
  EXPECT_EQ(filterPositions(*filter), (std::vector<std::size_t>{97, 2'348}));
  const std::string packed = service::packedFilter(*filter);
  ASSERT_EQ(packed.size(), 1'024u);
  std::string expected(1'024, '\0');
  expected[12] = '\x02';
  expected[293] = '\x10';
  EXPECT_EQ(packed, expected);
  EXPECT_FALSE(service::pairFilter(""));
  EXPECT_FALSE(service::textFilter("ab"));
}

TEST(PieceFiltersTest, EveryTermATextHoldsPassesItsFilters) {
  std::mt19937 random(7);
  const std::string bytes[] = {
      "a", "b", "x", " ", "%", "_", "\\", "0", "\xc3\xb6", "\xe6\xa3\x80", "\xff", std::string(1, '\0')};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    for (int i = 0, n = 1 + static_cast<int>(random() % 40); i < n; ++i) text += bytes[random() % std::size(bytes)];
    std::string pairs(service::kPairFilterBits, '0'), pieces(service::kTextFilterBits, '0');
    service::addPairFilterBits(pairs, text);
    service::addTextFilterBits(pieces, text);
    for (std::size_t at = 0; at < text.size(); ++at) {
      for (std::size_t length = 1; length <= 6 && at + length <= text.size(); ++length) {
        const std::string term = text.substr(at, length);
        EXPECT_TRUE(holdsAll(pairs, *service::pairFilter(term))) << round << ": " << term;
        if (length >= 3) EXPECT_TRUE(holdsAll(pieces, *service::textFilter(term))) << round << ": " << term;
      }
    }
  }
  // A two-byte term the text does not hold is told apart (no bit shared here).
  std::string pairs(service::kPairFilterBits, '0');
  service::addPairFilterBits(pairs, "render timeout");
  EXPECT_FALSE(holdsAll(pairs, *service::pairFilter("qz")));
}

}  // namespace
}  // namespace zandle::servicetest
