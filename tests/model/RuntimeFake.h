// A scripted axis server for the runtime, axis-reference, I/O and linearisation reads: blocks
// by index offset, one batch answer by parameter number, chosen failures, and a log of calls.
#pragma once

#include <cstring>
#include <map>
#include <span>
#include <vector>

#include <gtest/gtest.h>

#include "common/FakeOxa.h"
#include "model/Link.h"
#include "model/ParamBatch.h"
#include "oxa/Bytes.h"
#include "oxa/Oxa.h"

namespace rttest {

inline constexpr uint16_t kAxis = 2;
inline constexpr uint32_t kRecordGroup = 0x8000F002u;
inline constexpr uint32_t kNumberGroup = 0x800F0002u;

struct Call {
  char op;  // 'r' read, 'w' write, 'x' read-write
  uint32_t group;
  uint32_t offset;
  uint32_t length;
  std::vector<uint8_t> data;
};

class FakeServer : public fakeoxa::ScriptBase {
 public:
  std::map<uint32_t, std::vector<uint8_t>> blocks;  // record group, by index offset
  std::map<int16_t, double> doubles;                // batch answers by number
  std::map<int16_t, int32_t> ints;
  int32_t readError = 0;
  int32_t batchError = 0;
  int32_t writeError = 0;
  std::vector<Call> calls;

  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t group, uint32_t offset, uint32_t length,
                         void* data) override {
    calls.push_back({'r', group, offset, length, {}});
    if (readError != 0) return readError;
    auto it = blocks.find(offset);
    if (group != kRecordGroup || it == blocks.end()) return oxa::kErrInvalidIndexOffset;
    if (it->second.size() != length) return oxa::kErrInvalidSize;
    std::memcpy(data, it->second.data(), length);
    return 0;
  }

  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t group, uint32_t offset, uint32_t length,
                          const void* data) override {
    const auto* p = static_cast<const uint8_t*>(data);
    calls.push_back({'w', group, offset, length, {p, p + length}});
    return writeError;
  }

  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t group, uint32_t offset,
                              uint32_t readLength, void* readData, uint32_t writeLength,
                              const void* writeData) override {
    const auto* p = static_cast<const uint8_t*>(writeData);
    calls.push_back({'x', group, offset, readLength, {p, p + writeLength}});
    if (batchError != 0) return batchError;
    return fakeoxa::AnswerBatch(kRecordGroup, group, offset, readLength, readData, {p, writeLength},
                                [this](int16_t dn, int16_t in, double& d, int32_t& i) {
                                  if (auto v = doubles.find(dn); v != doubles.end()) d = v->second;
                                  if (auto v = ints.find(in); v != ints.end()) i = v->second;
                                });
  }

  size_t Count(char op) const {
    size_t n = 0;
    for (const auto& c : calls) n += c.op == op ? 1 : 0;
    return n;
  }
};

using Report = fakeoxa::Report;
using Reports = fakeoxa::RecordingReport;

inline model::AxisLink Link(oxa::IOxa& oxa, model::IErrorReport* report = nullptr) {
  model::AxisLink link;
  link.oxa = &oxa;
  link.axis = kAxis;
  link.lib = {3, 0, 34};
  link.versions.fill(-1);
  link.report = report;
  return link;
}

// Little-endian writers for hand-built blocks.
template <class T>
void Poke(std::vector<uint8_t>& block, size_t offset, T value) {
  ASSERT_TRUE(oxa::bytes::Put(std::span<uint8_t>(block), offset, value));
}

}  // namespace rttest
