// What the online pages and the characteristic chart show of records a controller or a file
// filled: runtime values, axis reference, every process image and the characteristic table from
// the bytes, then every value control's text and lamp, the overview columns and the chart's plan.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "pages/layout/Characteristic.h"
#include "pages/layout/OnlineDisplay.h"
#include "pages/layout/PageTables.h"

namespace {

class Bytes {
 public:
  explicit Bytes(std::span<const uint8_t> data) : data_(data) {}
  template <class T>
  T Next() {
    T v{};
    uint8_t raw[sizeof(T)] = {};
    for (uint8_t& b : raw) b = pos_ < data_.size() ? data_[pos_++] : 0;
    std::memcpy(&v, raw, sizeof v);
    return v;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(std::span<const uint8_t>(data, size));
  model::RuntimeRecord rt;
  for (double* d :
       {&rt.ActualPos, &rt.SetpointPos, &rt.TargetPos, &rt.LatchPos, &rt.LatchPosOffset,
        &rt.ActualPressure, &rt.ActualVelo, &rt.SetpointVeloRatio, &rt.ReferenceVelo, &rt.Override,
        &rt.Clamping, &rt.Overlap, &rt.LagController, &rt.Lag, &rt.Distance}) {
    *d = in.Next<double>();
  }
  rt.EnableBits = in.Next<uint32_t>();
  rt.StateBits = in.Next<uint32_t>();
  rt.ErrorCode = in.Next<int32_t>();
  rt.CurrentStep = in.Next<int16_t>();
  rt.PosCams = in.Next<uint8_t>();
  rt.Buffered = in.Next<int32_t>();
  model::AxisRefRecord ref;
  ref.AxisStateCode = in.Next<int16_t>();
  ref.InitState = in.Next<int16_t>();
  ref.InitError = in.Next<int32_t>();
  model::IoRecords io;
  for (size_t id = 0; id < model::kIoRecordCount; ++id) {
    for (uint8_t& b : model::IoBytes(io, static_cast<model::IoRecordId>(id)))
      b = in.Next<uint8_t>();
  }
  const msglog::MessageLog log;
  const pages::layout::OnlineRecords records{
      rt, ref, io, log, in.Next<int16_t>(), in.Next<int16_t>()};
  for (const pages::layout::PlacedControl& p : pages::layout::AllControls()) {
    pages::layout::OnlineText(*p.control, records, "undefined");
    pages::layout::OnlineLit(*p.control, records);
  }
  pages::layout::OverviewColumns(rt, true, in.Next<uint8_t>() & 1);

  model::LinRecord lin;
  lin.LinSamples = in.Next<int16_t>();
  for (size_t i = 0; i < model::kLinTabPoints; ++i) {
    lin.LinTabValue[i] = in.Next<double>();
    lin.LinTabOutput[i] = in.Next<double>();
  }
  const pages::layout::DesignScale scale(in.Next<uint16_t>() % 4096 + 1);
  const pages::layout::ChartFrame frame =
      pages::layout::MakeChartFrame(scale, 0, 0, in.Next<uint16_t>() % 8192);
  pages::layout::PlanCharacteristic(frame, lin);
  return 0;
}
