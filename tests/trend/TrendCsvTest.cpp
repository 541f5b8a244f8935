#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "trend/TrendCsv.h"

namespace {

using trend::CsvIssue;

TEST(TrendCsvTest, ChannelNamesUnitsAndValuesReadBackExactly) {
  std::vector<trend::Sample> samples;
  for (int i = 0; i < 50; ++i) {
    trend::Sample s;
    s.t = 1234.5 + i * 0.001;
    for (size_t c = 0; c < trend::kAnalogChannels; ++c) {
      s.values[c] = (i - 25) * 1e-3 * std::pow(10.0, static_cast<double>(c % 7)) / 3.0;
    }
    s.stateBits = static_cast<uint32_t>(i * 0x2B5);
    samples.push_back(s);
  }
  std::ostringstream out;
  trend::WriteCsv(out, samples, trend::ChannelSet().set(), 1234.5);

  std::vector<trend::CsvWarning> warnings;
  const auto table = trend::ReadCsv(out.str(), warnings);
  ASSERT_TRUE(table);
  ASSERT_EQ(table->columns.size(), trend::kChannelCount);
  for (size_t c = 0; c < trend::kChannelCount; ++c) {
    EXPECT_EQ(table->columns[c].name, trend::Channels()[c].name);
    EXPECT_EQ(table->columns[c].unit, trend::Channels()[c].unit);
  }
  std::vector<trend::Sample> back;
  EXPECT_TRUE(trend::SamplesOfCsv(*table, back, warnings).all());
  EXPECT_TRUE(warnings.empty());
  ASSERT_EQ(back.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(back[i].t, samples[i].t - 1234.5);
    for (size_t c = 0; c < trend::kChannelCount; ++c) {
      EXPECT_EQ(trend::ChannelValue(back[i], c), trend::ChannelValue(samples[i], c)) << i << c;
    }
  }
}

TEST(TrendCsvTest, ReaderSkipsWhatItCannotTakeAndSaysWhere) {
  std::string wideHeader = "t [s]", wideRow = "0";
  for (int i = 0; i < 70; ++i) wideHeader += ",c" + std::to_string(i), wideRow += ",1";
  struct Case {
    const char* name;
    std::string text;
    bool read;
    size_t rows, columns;
    std::vector<trend::CsvWarning> warnings;
  };
  const Case cases[] = {
      {"plain", "t [s],ActualPos [mm]\n0,1\n0.5,-2e-3\n", true, 2, 1, {}},
      {"from a spreadsheet",
       "\xEF\xBB\xBF\"t [s]\" , \"Lag [mm]\"\r\n\r\n +0 , 1 \r\n",
       true,
       1,
       1,
       {}},
      {"no time column", "x,y\n0,1\n", false, 0, 0, {{1, CsvIssue::NoTimeColumn}}},
      {"empty", "\n\n", false, 0, 0, {{2, CsvIssue::NoTimeColumn}}},
      {"cells missing or extra",
       "t [s],A\n0\n0,1,2\n1,5\n",
       true,
       1,
       1,
       {{2, CsvIssue::FieldCount}, {3, CsvIssue::FieldCount}}},
      {"not numbers",
       "t [s],A\n0,abc\nnan,1\n1,\n2,nan\n",
       true,
       1,
       1,
       {{2, CsvIssue::BadNumber}, {3, CsvIssue::BadNumber}, {4, CsvIssue::BadNumber}}},
      {"time going back", "t [s],A\n1,0\n0.5,0\n2,0\n", true, 2, 1, {{3, CsvIssue::TimeBackwards}}},
      {"too wide",
       wideHeader + "\n" + wideRow + "\n",
       true,
       1,
       trend::kMaxCsvColumns,
       {{1, CsvIssue::TooManyColumns}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<trend::CsvWarning> warnings;
    const auto table = trend::ReadCsv(c.text, warnings);
    ASSERT_EQ(table.has_value(), c.read);
    ASSERT_EQ(warnings.size(), c.warnings.size());
    for (size_t i = 0; i < warnings.size(); ++i) {
      EXPECT_EQ(warnings[i].line, c.warnings[i].line) << i;
      EXPECT_EQ(warnings[i].issue, c.warnings[i].issue) << i;
    }
    if (!table) continue;
    EXPECT_EQ(table->t.size(), c.rows);
    EXPECT_EQ(table->columns.size(), c.columns);
  }
}

TEST(TrendCsvTest, ColumnsOfUnknownChannelsStayOutOfTheSamples) {
  std::vector<trend::CsvWarning> warnings;
  const auto table =
      trend::ReadCsv("t [s],Pump [l/min],ActualPos [mm],In target\n0,7,2,1\n", warnings);
  ASSERT_TRUE(table);
  std::vector<trend::Sample> samples;
  const trend::ChannelSet present = trend::SamplesOfCsv(*table, samples, warnings);
  EXPECT_EQ(present, trend::ChannelSet().set(trend::kActualPos).set(trend::kBitInTarget));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].issue, CsvIssue::UnknownChannel);
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0].values[trend::kActualPos], 2);
  EXPECT_TRUE(std::isnan(samples[0].values[trend::kLag]));
  EXPECT_EQ(trend::ChannelValue(samples[0], trend::kBitInTarget), 1);
}

}  // namespace
