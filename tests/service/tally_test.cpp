// The counts every dashboard figure is read from agree with a direct count
// over the stored records: random records written through the store, read
// in several time zones and across summer-time changes, on both stores.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "store/sketches.h"
#include "store/tally_cover.h"
#include "tally_test_support.h"

namespace zandle::servicetest {
namespace {

TEST_P(TallyTest, EveryFigureAgreesWithADirectCountInEveryZoneAcrossSummerTime) {
  // 45 days around New York's (10 March) and London's (31 March) change to summer time.
  writeRandom(at("2024-02-20T00:00:00"), 45, 700, 1200, 400);
  const std::int64_t afterBoth = at("2024-04-03T15:20:00");
  for (const char* zone : {"UTC", "America%2FNew_York", "Europe%2FLondon", "Asia%2FKolkata", "Australia%2FSydney"}) {
    const std::string tz = std::string("tz=") + zone;
    compare(tz + "&range=30d", afterBoth);
    compare(tz + "&range=7d&tool=Alpha", afterBoth);
    compare(tz + "&from=2024-03-09&to=2024-03-11", afterBoth);  // the 23-hour day in New York, hour by hour
    compare(tz + "&from=2024-03-31&to=2024-03-31&tool=%E7%BB%98%E5%9B%BE", afterBoth);
    compare(tz + "&range=24h", at("2024-03-10T09:10:00"));
    compare(tz + "&range=90d", at("2024-03-12T23:59:00"));
  }
}

// Each transaction's users and session lengths join those already stored for the half hour.
TEST_P(TallyTest, AHalfHourWrittenByManyTransactionsKeepsEveryUserAndLength) {
  const std::int64_t slot = at("2024-03-05T10:00:00");
  const char* tools[] = {"Alpha", "Beta"};
  for (int transaction = 0; transaction < 12; ++transaction) {
    database_->begin();
    for (int i = 0; i < 5; ++i) {
      const int uin = 1 + transaction * 5 + i;
      const std::int64_t entered = slot + (transaction * 5 + i) * kMinute / 3;
      const auto id = database_->openSession({uin, tools[i % 2], std::nullopt, "1.0", "x", {entered, "10.0.0.1"}});
      database_->closeSession({id, {entered + (1 + uin) * kMinute, "10.0.0.1"}});
    }
    database_->commit();
  }
  for (const char* tool : {"", "&tool=Alpha", "&tool=Beta"}) {
    compare(std::string("from=2024-03-05&to=2024-03-05") + tool, at("2024-03-05T23:00:00"));
    compare(std::string("range=24h") + tool, at("2024-03-05T23:00:00"));
  }
}

// Every half hour of a range counted once, none outside, whatever the range's
// alignment; taking parts away reads no more rows, and a 90-day period far
// fewer; fewer still when nothing lies past its end (the present).
TEST(TallyCoverTest, CountsEachHalfHourOfTheRangeOnceAndReadsFewRows) {
  const std::int64_t steps[] = {kHalfHour, kDay, 16 * kDay};
  // Rows read that may hold something: those starting before `emptyFrom`.
  const auto rows = [&](const std::vector<service::CoverPart>& parts, std::int64_t emptyFrom = INT64_MAX) {
    std::int64_t n = 0;
    for (const auto& part : parts) {
      const std::int64_t step = steps[static_cast<int>(part.span)];
      for (std::int64_t row = part.from; row < part.to && row < emptyFrom; row += step) ++n;
    }
    return n;
  };
  std::mt19937 random(17);
  const std::int64_t base = at("2024-01-01T00:00:00");
  for (int i = 0; i < 3000; ++i) {
    const std::int64_t from = base + static_cast<std::int64_t>(random() % 9000) * kHalfHour;
    const std::int64_t to = from + static_cast<std::int64_t>(random() % (i % 2 ? 100 : 6000)) * kHalfHour;
    // Nothing stored from some time about the range's end on (the present).
    const std::int64_t emptyFrom = to - 300 * kHalfHour + static_cast<std::int64_t>(random() % 600) * kHalfHour / 2;
    std::vector<service::CoverPart> both[3] = {service::coverRange(from, to, false), service::coverRange(from, to, true),
                                               service::coverRange(from, to, true, emptyFrom)};
    for (const auto& parts : both) {
      std::map<std::int64_t, int> net;  // by half hour
      std::map<std::pair<int, std::int64_t>, int> seen;  // rows, by span and start
      for (const auto& part : parts) {
        const std::int64_t step = steps[static_cast<int>(part.span)];
        ASSERT_EQ(part.from % step, 0);
        ASSERT_EQ(part.to % step, 0);
        for (std::int64_t row = part.from; row < part.to; row += step) {
          ASSERT_EQ(++seen[std::make_pair(static_cast<int>(part.span), row)], 1) << "a row read twice";
          for (std::int64_t slot = row; slot < row + step; slot += kHalfHour) net[slot] += part.sign;
        }
      }
      for (const auto& [slot, count] : net) ASSERT_EQ(count, slot >= from && slot < to ? 1 : 0) << from << " " << to;
      for (std::int64_t slot = from; slot < to; slot += kHalfHour) ASSERT_EQ(net[slot], 1);
    }
    for (const auto& part : both[0]) ASSERT_EQ(part.sign, 1);
    EXPECT_LE(rows(both[1]), rows(both[0]));
    EXPECT_LE(rows(both[2], emptyFrom), rows(both[1], emptyFrom));
  }
  // 90 days from 2023-12-23: 14 days, 4 blocks, 12 days; or a block less 2 days, 4 blocks, a block less 4 days.
  const std::int64_t from = at("2023-12-23T00:00:00"), to = at("2024-03-22T00:00:00");
  EXPECT_EQ(rows(service::coverRange(from, to, false)), 30);
  EXPECT_EQ(rows(service::coverRange(from, to, true)), 12);
  // Up to now, 06:00: the last block less today and four days, plus today's 12
  // half hours; when nothing lies past now, the last block whole.
  const std::int64_t now = at("2024-03-21T06:00:00");
  EXPECT_EQ(rows(service::coverRange(from, now, true), now), 3 + 4 + 14);
  EXPECT_EQ(rows(service::coverRange(from, now, true, now), now), 3 + 4 + 1);
}

TEST(UserSketchTest, ExactUpToItsLimitThenWithinTheStatedError) {
  service::UserSketch small, large, merged;
  for (std::uint32_t uin = 1; uin <= service::kExactUsers; ++uin) small.add(uin * 7919u);
  EXPECT_EQ(small.count(), static_cast<std::int64_t>(service::kExactUsers));
  EXPECT_FALSE(small.estimated());
  for (std::uint32_t uin = 0; uin < 100'000; ++uin) large.add(uin);
  for (std::uint32_t uin = 50'000; uin < 150'000; ++uin) merged.add(uin);
  merged.merge(service::UserSketch::decode(large.encode()));
  EXPECT_TRUE(large.estimated());
  // Three times the typical error.
  EXPECT_NEAR(static_cast<double>(large.count()), 100'000.0, 100'000.0 * 3 * service::kUserEstimateError);
  EXPECT_NEAR(static_cast<double>(merged.count()), 150'000.0, 150'000.0 * 3 * service::kUserEstimateError);
}

// Lengths of many half hours merged, stored and read back: the count exact,
// the median within the bins' 2.2 % of the exact one.
TEST(LengthSketchTest, MergedAndStoredKeepsTheCountAndTheMedianWithinItsBins) {
  std::mt19937 random(17);
  std::vector<std::int64_t> all;
  service::LengthSketch merged;
  for (int slot = 0; slot < 300; ++slot) {
    service::LengthSketch one;
    const int sessions = slot % 3 == 0 ? 200 : static_cast<int>(random() % 20);
    for (int i = 0; i < sessions; ++i) {
      const std::int64_t length = static_cast<std::int64_t>(random() % (3 * 3'600'000));
      one.add(length);
      all.push_back(length);
    }
    merged.merge(service::LengthSketch::decode(one.encode()));
  }
  merged = service::LengthSketch::decode(merged.encode());
  std::sort(all.begin(), all.end());
  ASSERT_EQ(merged.count(), static_cast<std::int64_t>(all.size()));
  const double exact = static_cast<double>(all[(all.size() - 1) / 2]);
  ASSERT_TRUE(merged.median());
  EXPECT_NEAR(static_cast<double>(*merged.median()), exact, 0.022 * exact);

  // A stored histogram out of order, a bin twice: each counted where it belongs.
  std::string damaged = "H";
  for (const auto& [bin, count] : {std::pair<std::uint16_t, std::int64_t>{40, 3}, {1, 2}, {40, 4}}) {
    damaged.append(reinterpret_cast<const char*>(&bin), sizeof bin);
    damaged.append(reinterpret_cast<const char*>(&count), sizeof count);
  }
  const service::LengthSketch read = service::LengthSketch::decode(damaged);
  EXPECT_EQ(read.count(), 9);
  EXPECT_EQ(read.median(), 5536);  // the middle of bin 40: 2^(39.5/16) s
}

INSTANTIATE_TEST_SUITE_P(Stores, TallyTest, testing::Values(Backend::Sqlite, Backend::Postgres), backendName);

}  // namespace
}  // namespace zandle::servicetest
