// A scripted axis server for the runtime, axis-reference, I/O and linearisation reads: blocks
// by index offset, one batch answer by parameter number, chosen failures, and a log of calls.
#pragma once

#include <cstring>
#include <map>
#include <span>
#include <vector>

#include <gtest/gtest.h>

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

class FakeServer : public oxa::IOxa {
 public:
  std::map<uint32_t, std::vector<uint8_t>> blocks;  // record group, by index offset
  std::map<int16_t, double> doubles;                // batch answers by number
  std::map<int16_t, int32_t> ints;
  int32_t readError = 0;
  int32_t batchError = 0;
  int32_t writeError = 0;
  std::vector<Call> calls;

  long OxaPortOpen() override { return 1; }
  int32_t OxaPortClose() override { return 0; }
  int32_t OxaGetLocalAddress(oxa::OxaAddr*) override { return 0; }
  int32_t OxaSyncSetTimeout(int32_t) override { return 0; }

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
    model::ParamBatchRequest req;
    if (group != kRecordGroup || offset != 24 || readLength != 240 ||
        !model::DecodeBatchRequest({p, writeLength}, req)) {
      return oxa::kErrInvalidData;
    }
    model::ParamBatchAnswer ans;
    for (size_t i = 0; i < model::kBatchSlots; ++i) {
      if (auto d = doubles.find(req.doubleNos[i]); d != doubles.end()) ans.doubles[i] = d->second;
      if (auto v = ints.find(req.intNos[i]); v != ints.end()) ans.ints[i] = v->second;
    }
    const auto wire = model::EncodeBatchAnswer(ans);
    std::memcpy(readData, wire.data(), wire.size());
    return 0;
  }

  size_t Count(char op) const {
    size_t n = 0;
    for (const auto& c : calls) n += c.op == op ? 1 : 0;
    return n;
  }
};

struct Report {
  bool stop;
  bool write;
  int32_t code;
  uint32_t group;
  uint32_t offset;
};

class Reports : public model::IErrorReport {
 public:
  void ReportOxaError(bool stop, bool write, int32_t code, uint32_t group,
                      uint32_t offset) override {
    list.push_back({stop, write, code, group, offset});
  }
  std::vector<Report> list;
};

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
