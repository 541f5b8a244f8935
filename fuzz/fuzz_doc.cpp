// The document against a controller whose every answer comes from the fuzz input: axis
// selection with any library version and record version table, refresh ticks on every page
// (with a list axis on the Overview page), commands and settings writes, in an order the input
// chooses. Every answer is a result code or bytes of the input.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "FuzzController.h"
#include "i18n/StringTable.h"
#include "link/AxtuneDoc.h"
#include "link/Login.h"
#include "link/Select.h"

namespace {

class InputOxa final : public fuzzctl::InputOxa {
 public:
  using fuzzctl::InputOxa::InputOxa;

 private:
  // One selector byte per request: one of a few failures, or the next bytes of the input as
  // the answer (the rest of the buffer a fixed pattern). An exhausted input times out.
  int32_t Answer(oxa::Command, uint32_t length, uint8_t* out) override {
    if (Empty()) return oxa::kErrTimeout;
    const uint8_t sel = Byte();
    static constexpr int32_t kFailures[] = {oxa::kErrTimeout,
                                            oxa::kErrNotReady,
                                            oxa::kErrInvalidIndexGroup,
                                            oxa::kErrInvalidIndexOffset,
                                            0x4356,
                                            -1};
    if (sel < std::size(kFailures)) return kFailures[sel];
    Take(length, out, 0xA5);
    return 0;
  }
};

class NullUi final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string& text) override { size += text.size(); }
  void RequestRedisplay() override {}
  size_t size = 0;
};

axlink::AxisTarget TargetFrom(InputOxa& in, uint16_t port) {
  axlink::AxisTarget t;
  t.addr.port = port;
  t.number = in.Byte();
  model::LibVersion lib{static_cast<uint16_t>(in.Byte() % 4), static_cast<uint16_t>(in.Byte() % 3),
                        static_cast<uint16_t>(in.Byte() % 40)};
  model::RecordVersionTable table{};
  for (int16_t& w : table) w = static_cast<int16_t>(static_cast<int8_t>(in.Byte()));
  t.versions.Store(lib, table);
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputOxa oxa({data, size});
  NullUi ui;
  i18n::StringTable strings;
  CAxtuneDoc doc(oxa, ui, strings);
  const axlink::AxisTarget current = TargetFrom(oxa, 851);
  const axlink::AxisTarget list = TargetFrom(oxa, 852);
  doc.SelectAxis(current, oxa.Byte() % 13);

  for (int step = 0; step < 64 && !oxa.Empty(); ++step) {
    const uint8_t op = oxa.Byte();
    switch (op % 8) {
      case 0:
      case 1:
      case 2:
        doc.RefreshAxisData(oxa.Byte() % 12, &list);
        break;
      case 3:
        doc.SelectAxis(current, oxa.Byte() % 13);
        break;
      case 4:
        doc.Move(oxa.Byte() % 5, 12.5, 100.0);
        doc.SetPosition(-3.0);
        break;
      case 5:
        doc.StartJog(static_cast<int32_t>(oxa.Byte() % 5) - 2);
        doc.ReleaseJog();
        break;
      case 6:
        doc.ClearMessageLog();
        doc.SetLogLevel(oxa.Byte() % 4);
        doc.SetLatch(true);
        break;
      default:
        doc.WriteParamRecordToAxis();
        doc.ReselectAxis(oxa.Byte() % 13);
        break;
    }
  }
  // The texts the document keeps must stay within their capacities.
  if (doc.axisName.size() >= axlink::kTextBufferSize) __builtin_trap();
  for (const std::string& name : doc.auxNames) {
    if (name.size() > 20) __builtin_trap();
  }
  return 0;
}
