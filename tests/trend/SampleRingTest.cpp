#include <gtest/gtest.h>

#include <vector>

#include "trend/SampleRing.h"

namespace {

void Fill(trend::SampleRing& ring, int count) {
  for (int i = 0; i < count; ++i) {
    trend::Sample s;
    s.t = i;
    ring.Push(s);
  }
}

std::vector<double> Times(const std::vector<trend::Sample>& samples) {
  std::vector<double> t;
  for (const auto& s : samples) t.push_back(s.t);
  return t;
}

TEST(SampleRingTest, KeepsTheNewestSamplesInOrderAcrossTheWrap) {
  struct Case {
    int pushed;
    uint64_t from;
    std::vector<double> expected;
  };
  // Capacity 16: after 20 pushes samples 4 to 19 are held.
  const std::vector<double> held{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  const Case cases[] = {
      {3, 0, {0, 1, 2}},
      {16, 14, {14, 15}},
      {20, 0, held},  // the overwritten ones are skipped
      {20, 15, {15, 16, 17, 18, 19}},
      {20, 20, {}},
      {33, 31, {31, 32}},  // twice round
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pushed);
    trend::SampleRing ring(16);
    Fill(ring, c.pushed);
    std::vector<trend::Sample> out;
    EXPECT_EQ(ring.CopySince(c.from, out), static_cast<uint64_t>(c.pushed));
    EXPECT_EQ(Times(out), c.expected);
  }
  trend::SampleRing ring(16);
  Fill(ring, 20);
  EXPECT_EQ(ring.First(), 4u);
  std::vector<trend::Sample> range;
  ring.CopyRange(14.5, 17, range);  // the range spans the slot where the ring wrapped
  EXPECT_EQ(Times(range), (std::vector<double>{15, 16, 17}));
}

}  // namespace
