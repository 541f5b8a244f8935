// A scripted controller for the parameter tests: answers numbered reads, batches and the block
// from maps, fails chosen numbers, and records every request and every report.
#pragma once

#include <bit>
#include <cstring>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "common/FakeOxa.h"
#include "model/Link.h"
#include "model/ParamBatch.h"
#include "model/ParamRecord.h"
#include "oxa/Bytes.h"
#include "oxa/Endpoint.h"

namespace paramtest {

struct Call {
  oxa::Command cmd;
  uint32_t group;
  uint32_t offset;
  uint32_t readLength;
  std::vector<uint8_t> written;
};

using Report = fakeoxa::Report;
using RecordingReport = fakeoxa::RecordingReport;

inline constexpr uint16_t kAxis = 3;
inline constexpr uint32_t kRecordGroup = 0x8000F000u + kAxis;
inline constexpr uint32_t kNumberGroup = 0x800F0000u + kAxis;

class ScriptedOxa : public fakeoxa::ScriptBase {
 public:
  // Numbered values: doubles (8 bytes, also batch double slots), bytes (1 byte, batch integer
  // slots answer them as int32), ints (batch integer slots only).
  std::map<uint16_t, double> doubles;
  std::map<uint16_t, uint8_t> bytes;
  std::map<uint16_t, int32_t> ints;
  std::map<uint16_t, int32_t> failNo;  // number -> error code of its single read
  std::vector<uint8_t> fileName = std::vector<uint8_t>(256, 0);
  std::vector<uint8_t> auxData = std::vector<uint8_t>(160, 0);
  std::vector<uint8_t> block;  // answered at offset 2 of the record group
  int32_t batchError = 0;      // every batch fails with this code when set
  std::vector<Call> calls;

  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t group, uint32_t offset, uint32_t length,
                         void* data) override {
    calls.push_back({oxa::Command::Read, group, offset, length, {}});
    std::span<uint8_t> out(static_cast<uint8_t*>(data), length);
    if (group == kRecordGroup && offset == 2) {
      if (block.size() != length) return oxa::kErrInvalidSize;
      std::memcpy(out.data(), block.data(), length);
      return 0;
    }
    if (group != kNumberGroup) return oxa::kErrInvalidIndexGroup;
    const auto no = static_cast<uint16_t>(offset);
    if (auto f = failNo.find(no); f != failNo.end()) return f->second;
    if (no == 1007 && length == 256) return Copy(fileName, out);
    if (no == 2000 && length == 160) return Copy(auxData, out);
    if (auto d = doubles.find(no); d != doubles.end() && length == 8) {
      oxa::bytes::Put(out, 0, d->second);
      return 0;
    }
    if (auto b = bytes.find(no); b != bytes.end() && length == 1) {
      out[0] = b->second;
      return 0;
    }
    return oxa::kErrInvalidIndexOffset;
  }

  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t group, uint32_t offset, uint32_t length,
                          const void* data) override {
    const auto* p = static_cast<const uint8_t*>(data);
    calls.push_back({oxa::Command::Write, group, offset, 0, {p, p + length}});
    return 0;
  }

  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t group, uint32_t offset,
                              uint32_t readLength, void* readData, uint32_t writeLength,
                              const void* writeData) override {
    const auto* p = static_cast<const uint8_t*>(writeData);
    calls.push_back({oxa::Command::ReadWrite, group, offset, readLength, {p, p + writeLength}});
    if (batchError != 0) return batchError;
    return fakeoxa::AnswerBatch(kRecordGroup, group, offset, readLength, readData, {p, writeLength},
                                [this](int16_t dn, int16_t in, double& d, int32_t& i) {
                                  Answer(static_cast<uint16_t>(dn), static_cast<uint16_t>(in), d,
                                         i);
                                });
  }

  // Offsets of the numbered reads, in order.
  std::vector<uint32_t> NumberedReads() const {
    std::vector<uint32_t> v;
    for (const auto& c : calls) {
      if (c.cmd == oxa::Command::Read && c.group == kNumberGroup) v.push_back(c.offset);
    }
    return v;
  }

 private:
  // A batch slot: the double of number `dn`; the byte or int of number `in`, an int winning.
  void Answer(uint16_t dn, uint16_t in, double& d, int32_t& i) const {
    if (auto v = doubles.find(dn); v != doubles.end()) d = v->second;
    if (auto b = bytes.find(in); b != bytes.end()) i = b->second;
    if (auto v = ints.find(in); v != ints.end()) i = v->second;
  }
  static int32_t Copy(const std::vector<uint8_t>& from, std::span<uint8_t> out) {
    std::memcpy(out.data(), from.data(), out.size());
    return 0;
  }
};

// The bytes of one field inside the record. On a little-endian host they are exactly what the
// controller's blocks carry for it.
static_assert(std::endian::native == std::endian::little);
inline std::span<uint8_t> FieldBytes(const model::ParamField& f, model::ParamRecord& r) {
  size_t n = 0;
  switch (f.type) {
    case model::ParamType::Real:
      n = 8;
      break;
    case model::ParamType::Int16:
    case model::ParamType::UInt16:
      n = 2;
      break;
    case model::ParamType::Int32:
      n = 4;
      break;
    case model::ParamType::Bool:
      n = 1;
      break;
    case model::ParamType::Text:
      n = 256;
      break;
    case model::ParamType::RealArray:
      n = 160;
      break;
  }
  return {static_cast<uint8_t*>(f.at(r)), n};
}

inline bool SameField(const model::ParamField& f, const model::ParamRecord& a,
                      const model::ParamRecord& b) {
  const auto x = FieldBytes(f, const_cast<model::ParamRecord&>(a));
  const auto y = FieldBytes(f, const_cast<model::ParamRecord&>(b));
  return std::memcmp(x.data(), y.data(), x.size()) == 0;
}

// Distinct values in every field, different for every seed.
inline void Scramble(model::ParamRecord& r, int seed) {
  int i = seed * 100;
  for (const auto& f : model::ParamFields()) {
    ++i;
    switch (f.type) {
      case model::ParamType::Real:
        f.Ref<double>(r) = i * 1.125;
        break;
      case model::ParamType::Int16:
        f.Ref<int16_t>(r) = static_cast<int16_t>(i);
        break;
      case model::ParamType::UInt16:
        f.Ref<uint16_t>(r) = static_cast<uint16_t>(0x8100 + i);
        break;
      case model::ParamType::Int32:
        f.Ref<int32_t>(r) = -i * 1000;
        break;
      case model::ParamType::Bool:
        f.Ref<bool>(r) = (i + seed) % 2 == 0;
        break;
      case model::ParamType::RealArray:
        for (size_t j = 0; j < 20; ++j) r.AuxData[j] = i + 0.5 * static_cast<double>(j);
        break;
      case model::ParamType::Text:
        model::SetFileName(r, "axis-" + std::to_string(seed) + ".dat");
        break;
    }
  }
}

inline model::AxisLink MakeLink(oxa::IOxa& oxa, model::IErrorReport& report, model::LibVersion lib,
                                int16_t paramLayout) {
  model::AxisLink link;
  link.oxa = &oxa;
  link.axis = kAxis;
  link.lib = lib;
  link.versions.fill(-1);
  link.versions[2] = paramLayout;
  link.report = &report;
  return link;
}

}  // namespace paramtest
