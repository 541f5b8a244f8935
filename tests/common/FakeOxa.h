// Pieces the scripted controllers of the tests share: the housekeeping calls of an IOxa, a
// recorder of error reports, and the answer to a ParamBatch read-write from a table of values.
#pragma once

#include <cstring>
#include <span>
#include <vector>

#include "model/Link.h"
#include "model/ParamBatch.h"
#include "oxa/Oxa.h"

namespace fakeoxa {

// A controller whose port opens, whose local address and timeout are accepted as they are; the
// three requests are left to the script.
class ScriptBase : public oxa::IOxa {
 public:
  long OxaPortOpen() override { return 1; }
  int32_t OxaPortClose() override { return 0; }
  int32_t OxaGetLocalAddress(oxa::OxaAddr*) override { return 0; }
  int32_t OxaSyncSetTimeout(int32_t) override { return 0; }
};

struct Report {
  bool stop;
  bool write;
  int32_t code;
  uint32_t group;
  uint32_t offset;
};

class RecordingReport : public model::IErrorReport {
 public:
  void ReportOxaError(bool stop, bool write, int32_t code, uint32_t group,
                      uint32_t offset) override {
    reports.push_back({stop, write, code, group, offset});
  }
  std::vector<Report> reports;
};

// Answers a ParamBatch read-write sent to `recordGroup`: anything but a well-formed request at
// the batch offset for a whole answer is invalid data; otherwise `fill(doubleNo, intNo, double&,
// int32_t&)` sets the values of each slot, which start at zero.
template <class Fill>
int32_t AnswerBatch(uint32_t recordGroup, uint32_t group, uint32_t offset, uint32_t readLength,
                    void* readData, std::span<const uint8_t> written, Fill&& fill) {
  model::ParamBatchRequest req;
  if (group != recordGroup || offset != model::kBatchOffset ||
      readLength != model::kBatchAnswerBytes || !model::DecodeBatchRequest(written, req)) {
    return oxa::kErrInvalidData;
  }
  model::ParamBatchAnswer ans;
  for (size_t i = 0; i < model::kBatchSlots; ++i) {
    fill(req.doubleNos[i], req.intNos[i], ans.doubles[i], ans.ints[i]);
  }
  const auto wire = model::EncodeBatchAnswer(ans);
  std::memcpy(readData, wire.data(), wire.size());
  return 0;
}

}  // namespace fakeoxa
