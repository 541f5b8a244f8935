#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <random>

#include "FileBuilder.h"
#include "ReferenceReader.h"
#include "files/ParamFile.h"
#include "model/ParamDictionary.h"

namespace {

using files::FileLoadResult;
using files_test::FileBuilder;
using files_test::TempFile;
using model::LinRecord;
using model::ParamRecord;

struct Loaded {
  FileLoadResult result;
  ParamRecord param;
  LinRecord lin;
};

Loaded Read(const FileBuilder& f) {
  Loaded l;
  l.result = files::ReadParameterData(f.bytes, l.param, l.lin);
  return l;
}

TEST(ParamFileRead, FormatVersionIsTheFirstNumberWithoutItsUpperBits) {
  for (const uint32_t word : {0x000080D7u, 0xFFFF80D7u, 0x000000D7u}) {
    FileBuilder f(word);
    f.Real(0x00018008, 42.0);  // number 8, upper bits set
    const Loaded l = Read(f);
    EXPECT_TRUE(l.result.opened);
    EXPECT_EQ(l.result.nFileFormat, 215) << std::hex << word;
    EXPECT_EQ(l.result.recordsRead, 2u);
    EXPECT_EQ(l.param.ReferenceVelo, 42.0);
  }
}

TEST(ParamFileRead, FirstRecordSetsNoField) {
  FileBuilder f(8);  // a version number that is also a parameter number
  f.Raw(2, std::bit_cast<uint64_t>(5.0));
  const Loaded l = Read(f);
  EXPECT_EQ(l.result.nFileFormat, 8);
  EXPECT_EQ(l.param.ReferenceVelo, 0.0);
  EXPECT_EQ(l.param.SoftEndMax, 5.0);
}

TEST(ParamFileRead, OverlapCompensationSetsBothThenTheSecondAlone) {
  FileBuilder f(215);
  f.Real(1200, 0.3);
  Loaded l = Read(f);
  EXPECT_EQ(l.param.OverlapCompensation, 0.3);
  EXPECT_EQ(l.param.OverlapCompensation2, 0.3);
  f.Real(1204, 0.2);
  l = Read(f);
  EXPECT_EQ(l.param.OverlapCompensation, 0.3);
  EXPECT_EQ(l.param.OverlapCompensation2, 0.2);
}

TEST(ParamFileRead, OldNumberingUpToFormat205) {
  struct Case {
    uint32_t format, no;
    double ParamRecord::*field;  // null: the number sets nothing
  };
  const Case cases[] = {
      {205, 6, &ParamRecord::ReferenceVelo},
      {205, 8, nullptr},
      {205, 9, nullptr},
      {205, 10, &ParamRecord::Acceleration},
      {205, 13, &ParamRecord::MaxApplDec},
      {205, 14, &ParamRecord::Deceleration},
      {206, 7, &ParamRecord::MaxLag},
      {206, 8, &ParamRecord::ReferenceVelo},
  };
  for (const Case& c : cases) {
    FileBuilder f(c.format);
    f.Real(c.no, 77.5);
    const Loaded l = Read(f);
    if (c.field) {
      EXPECT_EQ(l.param.*c.field, 77.5) << c.format << "/" << c.no;
      EXPECT_EQ(l.result.numbersSkipped, 0u);
    } else {
      EXPECT_EQ(l.result.numbersSkipped, 1u) << c.format << "/" << c.no;
      EXPECT_EQ(l.param.ReferenceVelo, 0.0);
      EXPECT_EQ(l.param.Acceleration, 0.0);
    }
  }
  FileBuilder f(205);
  f.Int(6, 1);  // a boolean 1 as the old number 6 is a tiny ReferenceVelo, not MaxLagEnabled
  const Loaded l = Read(f);
  EXPECT_FALSE(l.param.MaxLagEnabled);
  EXPECT_EQ(l.param.ReferenceVelo, std::bit_cast<double>(uint64_t{1}));
}

TEST(ParamFileRead, ValuesByType) {
  FileBuilder f(215);
  f.Raw(1106, uint64_t{0x12345678} << 32);      // boolean, only bytes 8 to 11 set
  f.Real(1108, 1.0);                            // a real 1.0 has bytes 4 to 7 zero
  f.Raw(1110, 0x0000000100000000ull | 0x100u);  // true: bytes 4 to 7 not zero
  f.Raw(1100, 0x7777777700FFFFFEull);           // int16 from bytes 4 and 5: -2
  f.Raw(1004, 0xAAAAAAAAAAAA8181ull);           // bit word 0x8181
  f.Raw(1118, 0xFFFFFFFF80000001ull);           // int32 from bytes 4 to 7
  f.Real(1102, -12.25);
  const Loaded l = Read(f);
  EXPECT_FALSE(l.param.IndexSearchPositive);
  EXPECT_FALSE(l.param.SyncSearchPositive);
  EXPECT_TRUE(l.param.EncoderInverted);
  EXPECT_EQ(l.param.EncoderType, -2);
  EXPECT_EQ(l.param.JerkEnabled, 0x8181);
  EXPECT_EQ(l.param.OverrunThreshold, static_cast<int32_t>(0x80000001u));
  EXPECT_EQ(l.param.ZeroOffset, -12.25);
}

TEST(ParamFileRead, ArrayNumbersAndTheirEnds) {
  FileBuilder f(215);
  f.Real(2001, 1.0).Real(2005, 5.0).Real(2020, 20.0).Real(2000, 99.0).Real(2021, 99.0);
  f.Real(3201, 0.5).Real(3300, 100.5).Real(3301, 99.0).Real(3200, 99.0);
  f.Real(3401, -0.5).Real(3500, -100.5).Real(3501, 99.0).Real(3400, 99.0);
  const Loaded l = Read(f);
  EXPECT_EQ(l.param.AuxData[0], 1.0);
  EXPECT_EQ(l.param.AuxData[4], 5.0);
  EXPECT_EQ(l.param.AuxData[19], 20.0);
  EXPECT_EQ(l.lin.LinTabValue[0], 0.5);
  EXPECT_EQ(l.lin.LinTabValue[99], 100.5);
  EXPECT_EQ(l.lin.LinTabOutput[0], -0.5);
  EXPECT_EQ(l.lin.LinTabOutput[99], -100.5);
  EXPECT_EQ(l.result.numbersSkipped, 6u);
  for (double v : l.param.AuxData) EXPECT_NE(v, 99.0);
  for (double v : l.lin.LinTabValue) EXPECT_NE(v, 99.0);
  for (double v : l.lin.LinTabOutput) EXPECT_NE(v, 99.0);
}

TEST(ParamFileRead, ResetsFirstButKeepsTablePointsTheFileDoesNotHold) {
  Loaded l;
  l.lin.LinTabValue[50] = 7.0;
  l.lin.LinTabOutput[50] = -7.0;
  l.lin.LinSamples = 12;
  l.lin.LinEnableTable = true;
  l.param.Acceleration = 3.0;
  l.param.VeloRatio = 0.0;
  model::SetFileName(l.param, "press.dat");
  FileBuilder f(215);
  f.Int(3150, 60).Real(3201, 1.0).Real(3401, 2.0);
  l.result = files::ReadParameterData(f.bytes, l.param, l.lin);
  EXPECT_EQ(l.lin.LinSamples, 60);
  EXPECT_EQ(l.lin.LinTabValue[0], 1.0);
  EXPECT_EQ(l.lin.LinTabValue[50], 7.0);
  EXPECT_EQ(l.lin.LinTabOutput[50], -7.0);
  EXPECT_FALSE(l.lin.LinEnableTable);
  EXPECT_EQ(l.param.Acceleration, 0.0);
  EXPECT_EQ(l.param.VeloRatio, 1.0);
  EXPECT_EQ(model::FileNameText(l.param), "press.dat");
}

TEST(ParamFileRead, DefaultsByFormatAreAppliedBeforeEveryRecord) {
  struct Case {
    uint32_t format, no;
    double value;
    bool last;
    double ParamRecord::*field;
    double expect;
  };
  const Case cases[] = {
      {207, 1204, 0.2, false, &ParamRecord::OverlapCompensation2, 0.0},
      {207, 1204, 0.2, true, &ParamRecord::OverlapCompensation2, 0.2},
      {208, 1204, 0.2, false, &ParamRecord::OverlapCompensation2, 0.2},
      {214, 1717, 0.5, false, &ParamRecord::PreFeed, 1.0},
      {215, 1717, 0.5, false, &ParamRecord::PreFeed, 0.5},
      {205, 1280, 2.0, false, &ParamRecord::AreaA, 1.0},
      {208, 1111, 0.5, false, &ParamRecord::BaseDistance, 0.001},
      {0, 1109, 4.0, false, &ParamRecord::DefaultHomePos, 0.0},
  };
  for (const Case& c : cases) {
    FileBuilder f(c.format);
    f.Real(c.no, c.value);
    if (!c.last) f.Real(1901, 9.0);
    const Loaded l = Read(f);
    EXPECT_EQ(l.param.*c.field, c.expect) << c.format << "/" << c.no << (c.last ? " last" : "");
  }
  // A current file gets no defaults at all.
  const Loaded current = Read(FileBuilder(215));
  EXPECT_EQ(current.param.PreFeed, 0.0);
  EXPECT_EQ(current.param.AuxWord, 0);
}

TEST(ParamFileRead, EmptyShortAndTruncatedFiles) {
  ParamRecord reset;
  model::ResetParamRecord(reset);
  for (const size_t size : {0u, 1u, 11u}) {
    const TempFile file(std::vector<uint8_t>(size, 0xD7));
    Loaded l;
    l.param.PreFeed = 5.0;
    l.result = files::LoadParameterFile(file.Path(), l.param, l.lin);
    EXPECT_TRUE(l.result.opened);
    EXPECT_EQ(l.result.nFileFormat, 0);
    EXPECT_EQ(l.result.recordsRead, 0u);
    EXPECT_EQ(l.result.trailingBytes, size);
    EXPECT_EQ(l.param, reset) << size;  // no default pass without a record
    EXPECT_EQ(l.param.EncoderIncInterpolation, 0.0);
  }
  FileBuilder f(215);
  f.Real(8, 1.5).Real(9, 2.5);
  f.bytes.resize(f.bytes.size() - 5);  // the last record loses its value's upper bytes
  const TempFile file(f.bytes);
  Loaded l;
  l.result = files::LoadParameterFile(file.Path(), l.param, l.lin);
  EXPECT_EQ(l.result.recordsRead, 2u);
  EXPECT_EQ(l.result.trailingBytes, 7u);
  EXPECT_EQ(l.param.ReferenceVelo, 1.5);
  EXPECT_EQ(l.param.MaxApplSpeed, 0.0);
  EXPECT_FALSE(l.result.warnings.empty());
}

TEST(ParamFileRead, FilesThatCannotBeOpenedLeaveTheRecordsAlone) {
  const std::string dir = std::filesystem::temp_directory_path().string();
  const std::string fifo = dir + "/axtune_files_fifo_" + std::to_string(::getpid());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // no writer: opening it must not wait
  for (const std::string& path : {dir + "/axtune_files_no_such_file.dat", dir, fifo}) {
    Loaded l;
    l.param.Acceleration = 3.0;
    l.lin.LinSamples = 4;
    l.result = files::LoadParameterFile(path, l.param, l.lin);
    EXPECT_FALSE(l.result.opened) << path;
    EXPECT_EQ(l.result.nFileFormat, 0);
    EXPECT_EQ(l.param.Acceleration, 3.0);
    EXPECT_EQ(l.lin.LinSamples, 4);
    EXPECT_EQ(l.result.warnings.size(), 1u);
  }
  std::filesystem::remove(fifo);
}

TEST(ParamFileRead, LargeFileReadsAsItsBytes) {
  // More records than one read of the reader takes, with a piece of a record at the end.
  FileBuilder f(207);
  for (int i = 0; i < 90000; ++i) f.Real(2001 + static_cast<uint32_t>(i % 20), i * 0.5);
  f.Real(1204, 0.25);
  f.bytes.push_back(0x01);
  const TempFile file(f.bytes);
  Loaded fromFile;
  fromFile.result = files::LoadParameterFile(file.Path(), fromFile.param, fromFile.lin);
  const Loaded fromBytes = Read(f);
  EXPECT_EQ(fromFile.result.recordsRead, 90002u);
  EXPECT_EQ(fromFile.result.trailingBytes, 1u);
  EXPECT_FALSE(fromFile.result.readError);
  EXPECT_EQ(fromFile.param, fromBytes.param);
  EXPECT_EQ(fromFile.param.AuxData[19], 89999 * 0.5);
  EXPECT_EQ(fromFile.param.OverlapCompensation2, 0.25);  // the last record keeps its value
}

TEST(ParamFileRead, GivesWhatApplyingTheRecordsOneByOneGives) {
  // Numbers around every default, the overlap pair, the old numbering and the table ends.
  const uint32_t numbers[] = {2,    4,    6,    7,    8,    9,    10,   12,   13,   16,    1003,
                              1004, 1006, 1104, 1109, 1110, 1111, 1117, 1200, 1203, 1204,  1280,
                              1302, 1304, 1305, 1504, 1604, 1706, 1708, 1716, 1717, 1805,  1806,
                              2000, 2001, 2020, 3150, 3201, 3300, 3301, 3500, 9999, 0xFFFF};
  const uint32_t formats[] = {0, 200, 203, 205, 206, 207, 208, 211, 213, 214, 215, 300};
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    FileBuilder f(formats[rng() % std::size(formats)] | (rng() & 0xFFFF8000u));
    const size_t count = rng() % 12;
    for (size_t i = 0; i < count; ++i) {
      f.Raw(numbers[rng() % std::size(numbers)], (uint64_t{rng()} << 32) | rng());
    }
    if (rng() % 4 == 0) f.bytes.resize(f.bytes.size() + rng() % 12, 0x5A);
    Loaded want;
    want.lin.LinTabValue[3] = 3.0;
    Loaded got = want;
    const int format = files_test::ReferenceRead(f.bytes, want.param, want.lin);
    got.result = files::ReadParameterData(f.bytes, got.param, got.lin);
    ASSERT_EQ(got.result.nFileFormat, format);
    const auto diffs = files::DiffParameterSets(got.param, got.lin, want.param, want.lin);
    ASSERT_TRUE(diffs.empty()) << "round " << round << ": " << diffs[0].name;
  }
}

TEST(ParamFileRead, FileModeVersionTable) {
  model::RecordVersionTable t{};
  for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<int16_t>(100 + i);
  const model::RecordVersionTable expect{6, -1, 10, -1, -1, 105, 106, 107, 108, 109, 110, -1, -1};
  EXPECT_EQ(files::FileModeVersionTable(t), expect);
}

// A record in which every number of the file holds a value of its own.
void FillDistinct(ParamRecord& param, LinRecord& lin) {
  int k = 0;
  for (const files::FileParam& p : files::FileParams()) {
    for (size_t i = 0; i < p.count; ++i, ++k) {
      void* at = p.at(param, lin, i);
      switch (p.type) {
        case files::FileValueType::Real:
          *static_cast<double*>(at) = 0.125 * k - 7.0;
          break;
        case files::FileValueType::Bool:
          *static_cast<bool*>(at) = k % 2 == 1;
          break;
        case files::FileValueType::Int16:
          *static_cast<int16_t*>(at) = static_cast<int16_t>(-k);
          break;
        case files::FileValueType::Word16:
          *static_cast<uint16_t*>(at) = static_cast<uint16_t>(0x8000 + k);
          break;
        case files::FileValueType::Int32:
          *static_cast<int32_t*>(at) = -100000 * k;
          break;
      }
    }
  }
  param.OverlapCompensation2 = -0.75;  // differs from OverlapCompensation
}

TEST(ParamFileTable, EveryNumberedFieldOfTheRecordHasItsFileNumber) {
  ParamRecord param;
  LinRecord lin;
  size_t recordValues = 0;
  for (const model::ParamField& f : model::ParamFields()) {
    if (f.no == 0 || f.type == model::ParamType::Text) continue;
    SCOPED_TRACE(std::string(f.name));
    const bool array = f.type == model::ParamType::RealArray;
    const size_t count = array ? param.AuxData.size() : 1;
    const size_t first = array ? f.no + 1u : f.no;  // AuxData[i] is 2001 + i in files
    for (size_t i = 0; i < count; ++i, ++recordValues) {
      size_t index = 99;
      const files::FileParam* p = files::FindFileParam(static_cast<uint16_t>(first + i), index);
      ASSERT_NE(p, nullptr);
      EXPECT_FALSE(p->lin);
      EXPECT_EQ(p->name, f.name);
      void* field = f.at(param);
      EXPECT_EQ(p->at(param, lin, index), array ? &param.AuxData[i] : field);
    }
  }
  size_t fileRecordValues = 0;
  for (const files::FileParam& p : files::FileParams()) fileRecordValues += p.lin ? 0 : p.count;
  EXPECT_EQ(fileRecordValues, recordValues);
}

// The file format lists the linearisation settings a second time; it must agree with the
// dictionary's rows that the pages, the journal and the emulator use.
TEST(ParamFileTable, EveryLinearisationSettingHasItsFileNumber) {
  constexpr std::array<std::pair<model::FileType, files::FileValueType>, 3> kTypes{{
      {model::FileType::Real, files::FileValueType::Real},
      {model::FileType::Int16, files::FileValueType::Int16},
      {model::FileType::Bool, files::FileValueType::Bool},
  }};
  size_t settings = 0;
  for (const model::ParamRow& row : model::ParamRows()) {
    if (row.home != model::ParamHome::Lin || row.count != 1) continue;
    SCOPED_TRACE(std::string(row.name));
    ++settings;
    size_t index = 99;
    const files::FileParam* p = files::FindFileParam(row.no, index);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->lin);
    EXPECT_EQ(p->name, row.name);
    // The same field: the one value stored through the dictionary is what the file table reads.
    ParamRecord param;
    LinRecord lin;
    ASSERT_TRUE(model::Set({&param, &lin}, row, row.no, 1.0, model::Narrowing::Exact));
    const files::FileValue v = files::GetFileValue(*p, index, param, lin);
    EXPECT_EQ(v.type == files::FileValueType::Real ? v.real : v.integer, 1.0);
    const auto type = std::find_if(kTypes.begin(), kTypes.end(),
                                   [&](const auto& t) { return t.first == row.file; });
    ASSERT_NE(type, kTypes.end());
    EXPECT_EQ(p->type, type->second);
  }
  size_t fileSettings = 0;
  for (const files::FileParam& p : files::FileParams()) fileSettings += p.lin && p.count == 1;
  EXPECT_EQ(fileSettings, settings);
}

TEST(ParamFileWrite, WriterThenReaderGivesTheRecordBack) {
  ParamRecord param;
  LinRecord lin;
  model::ResetParamRecord(param);
  FillDistinct(param, lin);
  lin.LinSamples = 150;
  const std::vector<uint8_t> bytes = files::EncodeParameterFile(param, lin);

  size_t numbers = 0;
  for (const files::FileParam& p : files::FileParams()) numbers += p.count;
  ASSERT_EQ(bytes.size(), (numbers + 1) * files::kFileRecordSize);
  EXPECT_EQ(bytes[0], 215);

  ParamRecord back;
  LinRecord linBack;
  const FileLoadResult r = files::ReadParameterData(bytes, back, linBack);
  EXPECT_EQ(r.nFileFormat, 215);
  EXPECT_EQ(r.recordsRead, numbers + 1);
  EXPECT_EQ(r.numbersSkipped, 0u);
  EXPECT_TRUE(files::DiffParameterSets(param, lin, back, linBack).empty());
  EXPECT_EQ(back, param);  // every field of the record has a number in the file
  EXPECT_EQ(linBack.LinSamples, 150);
}

TEST(ParamFileDiff, ListsEveryDifferingNumberWithItsName) {
  ParamRecord a, b;
  LinRecord la, lb;
  model::ResetParamRecord(a);
  model::ResetParamRecord(b);
  b.JogFast = 50.0;
  b.AuxData[4] = 1.5;
  b.EncoderInverted = true;
  lb.LinTabOutput[99] = -1.0;
  a.PehFilter = b.PehFilter = std::nan("");
  const auto diffs = files::DiffParameterSets(a, la, b, lb);
  ASSERT_EQ(diffs.size(), 4u);
  EXPECT_EQ(diffs[0].no, 1110);
  EXPECT_EQ(diffs[0].name, "EncoderInverted");
  EXPECT_EQ(diffs[0].b.integer, 1);
  EXPECT_EQ(diffs[1].no, 1900);
  EXPECT_EQ(diffs[1].a.real, 0.0);
  EXPECT_EQ(diffs[1].b.real, 50.0);
  EXPECT_EQ(diffs[2].no, 2005);
  EXPECT_EQ(diffs[2].name, "AuxData[4]");
  EXPECT_EQ(diffs[3].no, 3500);
  EXPECT_EQ(diffs[3].name, "LinTabOutput[99]");
}

}  // namespace
