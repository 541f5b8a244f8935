// The log poll against the emulated axis server in the same process, in every entry layout.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "log/MessageLog.h"
#include "oxa/OxaDirect.h"
#include "sim/AxisServer.h"
#include "sim/MessageLog.h"
#include "sim/SimTestUtil.h"

namespace {

constexpr uint16_t kPort = 852;
constexpr uint16_t kAxis = 6;
constexpr uint64_t kSecond = 10'000'000;
constexpr uint64_t kNow = 133536836967890000ull;  // 2024-02-29 12:34:56.789 UTC

class NoReport : public model::IErrorReport {
 public:
  void ReportOxaError(bool, bool, int32_t code, uint32_t, uint32_t) override {
    ADD_FAILURE() << "reported " << code;
  }
};

struct Rig {
  explicit Rig(int16_t layout) {
    sim::AxisServerConfig c;
    c.port = kPort;
    c.lib = {3, 0, 35};
    c.firstAxis = 5;
    c.axisNames = {"Press ram", "Clamp left"};
    c.recordVersions[3] = layout;
    std::string error;
    server = sim::AxisServer::Create(ctrl, c, error);
    EXPECT_TRUE(server) << error;
    EXPECT_TRUE(sim::InstallMessageLog(*server, [this] { return now; }));
    direct.Register(simtest::kNetId, ctrl);
    direct.OxaPortOpen();
    link.oxa = &direct;
    link.addr = {simtest::kNetId, kPort};
    link.axis = kAxis;
    link.lib = c.lib;
    link.versions.fill(-1);
    link.versions[3] = layout;
    link.report = &noReport;
  }
  sim::AxisLog& AxisLog() { return *sim::LogOf(*server->Axis(kAxis)); }
  size_t Requests() const { return ctrl.Log().Total(); }
  // Polls until a pass ends; the number of polls, or -1.
  int Pass() {
    for (int n = 1; n <= 10; ++n) {
      bool redraw = false;
      EXPECT_EQ(log.RefreshMessageLog(link, &redraw), 0);
      if (redraw) return n;
    }
    return -1;
  }

  uint64_t now = kNow;
  sim::Controller ctrl{simtest::kNetId};
  std::unique_ptr<sim::AxisServer> server;
  oxa::OxaDirect direct;
  NoReport noReport;
  model::AxisLink link;
  msglog::MessageLog log{[](int64_t) { return int64_t{0}; }};
};

TEST(LogRoundTrip, StampedLayoutsShowTheServersMessagesAndReadOnlyOnNews) {
  for (int16_t layout : {int16_t{2}, int16_t{3}, int16_t{4}}) {
    SCOPED_TRACE(layout);
    Rig rig(layout);
    ASSERT_EQ(rig.Pass(), 5);
    // The newest start-up message a minute before now, then the others seven seconds apart.
    EXPECT_EQ(rig.log.Line(1), "29.02.2024 12:33:56:789 Axis ready");
    EXPECT_EQ(rig.log.Line(2), "29.02.2024 12:33:49:789 Log level 3");
    EXPECT_EQ(rig.log.Line(4), "29.02.2024 12:33:35:789 Axis error 0x4402");
    EXPECT_EQ(rig.log.Line(5), "29.02.2024 12:33:28:789 Position limit exceeded: 1000.400 mm");
    EXPECT_EQ(rig.log.Line(20).substr(24), "Valve overlap 3.50 %");
    // Nothing new: one read per check.
    const size_t before = rig.Requests();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(rig.Pass(), -1);
    EXPECT_EQ(rig.Requests(), before + 30);
    // A message at the axis starts the next pass; it is line 1, the old ones move down.
    rig.now += 120 * kSecond;
    rig.AxisLog().AddText(sim::LogClass::Activity, "Parameter file %s saved", "axis6.dat");
    ASSERT_EQ(rig.Pass(), 5);
    EXPECT_EQ(rig.log.Line(1), "29.02.2024 12:36:56:789 Parameter file axis6.dat saved");
    EXPECT_EQ(rig.log.Line(2), "29.02.2024 12:33:56:789 Axis ready");
    EXPECT_EQ(rig.log.NewestTimeStamp(), kNow + 120 * kSecond);
    // Clearing the buffer changes the newest entry: the next pass empties every line.
    ASSERT_EQ(msglog::ClearControllerLog(rig.link), 0);
    ASSERT_EQ(rig.Pass(), 5);
    for (int i = 1; i <= 20; ++i) EXPECT_EQ(rig.log.Line(i), "") << i;
  }
}

TEST(LogRoundTrip, LayoutOneRereadsContinuouslyAndLayoutZeroSendsNothing) {
  Rig one(1);
  ASSERT_EQ(one.Pass(), 5);
  EXPECT_EQ(one.log.Line(1), "Axis ready");
  EXPECT_EQ(one.log.Line(5), "Position limit exceeded: 1000.400 mm");
  ASSERT_EQ(one.Pass(), 5);
  EXPECT_EQ(one.Requests(), 40u);

  Rig zero(0);
  for (int pass = 0; pass < 2; ++pass) ASSERT_EQ(zero.Pass(), 5);
  EXPECT_EQ(zero.Requests(), 0u);
  EXPECT_EQ(zero.log.Line(1), "");
}

}  // namespace
