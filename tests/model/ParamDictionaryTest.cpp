// The dictionary of parameter numbers: lookup of runs and gaps, and how Get and Set carry a
// value into every kind of field under each narrowing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/ParamDictionary.h"
#include "model/ParamRead.h"

namespace {

using model::Narrowing;

TEST(ParamDictionaryTest, NumbersFindTheirRowAndGapsFindNone) {
  struct Case {
    uint16_t no;
    const char* name;  // null: no row
    const char* entry;
  };
  const Case cases[] = {
      {2, "SoftEndMax", "SoftEndMax"},
      {1900, "JogFast", "JogFast"},
      {2000, "AuxData", "AuxData"},
      {2001, "AuxData", "AuxData[0]"},
      {2020, "AuxData", "AuxData[19]"},
      {3401 + 99, "LinTabOutput", "LinTabOutput[99]"},
      {11010, "EncoderInfo2", "EncoderInfo2"},
      {0, nullptr, nullptr},
      {1, nullptr, nullptr},
      {10, nullptr, nullptr},
      {1002, nullptr, nullptr},
      {2021, nullptr, nullptr},
      {3200, nullptr, nullptr},
      {3501, nullptr, nullptr},
      {65535, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const model::ParamRow* row = model::FindParam(c.no);
    if (c.name == nullptr) {
      EXPECT_EQ(row, nullptr) << c.no;
      continue;
    }
    ASSERT_NE(row, nullptr) << c.no;
    EXPECT_EQ(row->name, c.name);
    EXPECT_EQ(model::ParamName(*row, c.no), c.entry);
  }
  EXPECT_EQ(model::FindParam("AuxData")->no, model::kParamNoAuxData);
  EXPECT_EQ(model::FindParam("NoSuchField"), nullptr);
}

TEST(ParamDictionaryTest, GetAndSetNarrowByTheFieldsTypeAndTheMode) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    uint16_t no;
    double value;
    Narrowing how;
    bool stored;
    double read;  // Get afterwards
  };
  const Case cases[] = {
      {1900, -2.5, Narrowing::Exact, true, -2.5},
      {1100, 33153.0, Narrowing::Clamp, true, -32383.0},  // 0x8181
      {1100, 33153.0, Narrowing::Wrap, true, -32383.0},
      {1100, 33153.0, Narrowing::Exact, false, 0},
      {1100, -7.9, Narrowing::Exact, true, -7},
      {1100, 1e10, Narrowing::Clamp, true, -1.0},    // 0x7FFFFFFF, low 16 bits
      {1100, 1e10, Narrowing::Wrap, true, -7168.0},  // 10^10 mod 2^16 = 0xE400
      {1004, -1.0, Narrowing::Clamp, true, 65535.0},
      {1004, 65536.0, Narrowing::Exact, false, 0},
      {1118, 4294967295.0, Narrowing::Wrap, true, -1.0},
      {1118, 4294967295.0, Narrowing::Clamp, true, 2147483647.0},
      {1118, kNaN, Narrowing::Clamp, true, 0},
      {1118, kNaN, Narrowing::Exact, false, 0},
      {1401, 2.0, Narrowing::Clamp, true, 0},  // a controller's boolean is true only for 1
      {1401, 2.0, Narrowing::Wrap, true, 1},
      {1401, 1.0, Narrowing::Clamp, true, 1},
      {2005, 4.25, Narrowing::Exact, true, 4.25},
      {3150, 31.0, Narrowing::Exact, true, 31.0},
      {3003, 1.0, Narrowing::Exact, true, 1.0},
      {3201 + 7, -1.5, Narrowing::Exact, true, -1.5},
  };
  for (const Case& c : cases) {
    model::ParamRecord p;
    model::LinRecord l;
    const bool stored = model::Set({&p, &l}, c.no, c.value, c.how);
    EXPECT_EQ(stored, c.stored) << c.no << " " << c.value;
    EXPECT_EQ(model::Get({&p, &l}, c.no), c.read) << c.no << " " << c.value;
  }

  // Texts, blocks, values outside the records and absent records carry no value.
  model::ParamRecord p;
  model::LinRecord l;
  for (const uint16_t no :
       {model::kParamNoFileName, model::kParamNoAuxData, model::kParamNoLatch, uint16_t{1002}}) {
    EXPECT_FALSE(model::Get({&p, &l}, no)) << no;
    EXPECT_FALSE(model::Set({&p, &l}, no, 1.0, Narrowing::Wrap)) << no;
  }
  EXPECT_FALSE(model::Get({&p, nullptr}, 3150));
  EXPECT_FALSE(model::Set({nullptr, &l}, 1900, 1.0, Narrowing::Exact));
  EXPECT_EQ(p, model::ParamRecord{});
}

// The batch groups keep their own order; every number in them must be one the dictionary knows
// as a field of the parameter record or a value outside it.
TEST(ParamDictionaryTest, TheBatchGroupsHoldOnlyNumbersOfTheDictionary) {
  for (const model::LibVersion lib : {model::LibVersion{3, 0, 22}, model::LibVersion{3, 0, 35}}) {
    std::array<model::ParamBatchGroup, 6> groups{};
    const size_t n = model::ParamBatchGroups(model::kPageAll, lib, groups);
    ASSERT_EQ(n, groups.size());
    for (const model::ParamBatchGroup& g : groups) {
      for (const auto& slots : {g.request.doubleNos, g.request.intNos}) {
        for (const int16_t no : slots) {
          if (no == 0) continue;
          const model::ParamRow* row = model::FindParam(static_cast<uint16_t>(no));
          ASSERT_NE(row, nullptr) << no;
          EXPECT_TRUE(row->home == model::ParamHome::Param ||
                      row->home == model::ParamHome::Outside)
              << no;
        }
      }
    }
  }
}

}  // namespace
