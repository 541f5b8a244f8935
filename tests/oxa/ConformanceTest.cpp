// The same requests through OxaDirect and OxaTcpClient give the same results.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <numeric>
#include <vector>

#include "AllocTracker.h"
#include "OxaBackends.h"
#include "oxa/LocalRouter.h"
#include "oxa/OxaDirect.h"

namespace oxa::test {
namespace {

const OxaAddr kCtrl{kCtrlNetId, kCtrlPort};

class Conformance : public ::testing::TestWithParam<Backend> {
 protected:
  std::unique_ptr<Harness> Open(RouteTable table = {}) {
    auto h = GetParam().make(std::move(table));
    EXPECT_NE(h->Oxa().OxaPortOpen(), 0);
    return h;
  }
};

struct Case {
  const char* what;
  Command command;
  uint32_t group;
  uint32_t offset;
  uint32_t readLength;
  std::vector<uint8_t> write;
  int32_t result;
};

TEST_P(Conformance, RequestsGiveTheEndpointsResults) {
  const std::vector<Case> cases = {
      {"read 8", Command::Read, kPattern, 5, 8, {}, kOk},
      {"read 1008", Command::Read, kPattern, 7, 1008, {}, kOk},
      {"read 0", Command::Read, kPattern, 7, 0, {}, kOk},
      {"command without data", Command::Write, kPattern, 1, 0, {}, kOk},
      {"store 3", Command::Write, kStore, 0, 0, {1, 2, 3}, kOk},
      {"read stored 3", Command::Read, kStore, 0, 3, {}, kOk},
      {"read stored with the wrong size", Command::Read, kStore, 0, 4, {}, kErrInvalidSize},
      {"error with data", Command::Read, kFail, 0x4222, 8, {}, 0x4222},
      {"negative error", Command::Write, kFail, 0xFFFFFFFF, 0, {9}, -1},
      {"short answer", Command::Read, kShort, 4, 8, {}, kErrInvalidSize},
      {"empty answer", Command::Read, kShort, 0, 8, {}, kErrInvalidSize},
      {"reverse", Command::ReadWrite, kReverse, 0, 5, {1, 2, 3, 4, 5}, kOk},
      {"unknown group", Command::Read, 0x99, 0, 4, {}, kErrInvalidIndexGroup},
  };
  auto h = Open();
  IOxa& oxa = h->Oxa();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> data(c.readLength, 0xEE);
    int32_t r = 0;
    switch (c.command) {
      case Command::Read:
        r = oxa.OxaSyncReadReq(&kCtrl, c.group, c.offset, c.readLength, data.data());
        break;
      case Command::Write:
        r = oxa.OxaSyncWriteReq(&kCtrl, c.group, c.offset, static_cast<uint32_t>(c.write.size()),
                                c.write.data());
        break;
      case Command::ReadWrite:
        r = oxa.OxaSyncReadWriteReq(&kCtrl, c.group, c.offset, c.readLength, data.data(),
                                    static_cast<uint32_t>(c.write.size()), c.write.data());
        break;
    }
    EXPECT_EQ(r, c.result);
    if (r != kOk) continue;
    if (c.group == kPattern) {
      for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(data[i], uint8_t(c.offset + i)) << i;
    } else if (c.group == kStore && c.command == Command::Read) {
      EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3}));
    } else if (c.group == kReverse) {
      EXPECT_EQ(data, (std::vector<uint8_t>{5, 4, 3, 2, 1}));
    }
  }
}

TEST_P(Conformance, AddressingResults) {
  auto h = Open();
  IOxa& oxa = h->Oxa();
  uint8_t buf[8] = {};
  const OxaAddr wrongPort{kCtrlNetId, 502};
  EXPECT_EQ(oxa.OxaSyncReadReq(&wrongPort, kPattern, 0, 8, buf), kErrTargetPortNotFound);
  const int calls = h->endpoint.Calls();
  const OxaAddr unknown{NetId{{10, 9, 9, 9, 1, 1}}, kCtrlPort};
  EXPECT_EQ(oxa.OxaSyncReadReq(&unknown, kPattern, 0, 8, buf), kErrTargetMachineNotFound);
  EXPECT_EQ(h->endpoint.Calls(), calls) << "a request without route must not be sent";

  // The source of a request is the local NetId and the port number of the open port.
  OxaAddr local;
  ASSERT_EQ(oxa.OxaGetLocalAddress(&local), kOk);
  EXPECT_EQ(local.netId, kCtrlNetId);
  EXPECT_NE(local.port, 0);
  ASSERT_EQ(oxa.OxaSyncReadReq(&kCtrl, kSource, 0, 8, buf), kOk);
  EXPECT_EQ(std::memcmp(buf, kCtrlNetId.b.data(), 6), 0);
  EXPECT_EQ(buf[6] | buf[7] << 8, local.port);
}

TEST_P(Conformance, BadArgumentsFailBeforeAnythingIsSent) {
  auto h = Open();
  IOxa& oxa = h->Oxa();
  std::vector<uint8_t> big(1 << 20);
  EXPECT_EQ(oxa.OxaSyncReadReq(nullptr, kPattern, 0, 0, nullptr), kErrInvalidData);
  EXPECT_EQ(oxa.OxaSyncReadReq(&kCtrl, kPattern, 0, 8, nullptr), kErrInvalidData);
  EXPECT_EQ(oxa.OxaSyncWriteReq(&kCtrl, kPattern, 0, 8, nullptr), kErrInvalidData);
  EXPECT_EQ(oxa.OxaSyncReadReq(&kCtrl, kPattern, 0, (1 << 20) - 7, big.data()), kErrInvalidSize);
  EXPECT_EQ(oxa.OxaSyncWriteReq(&kCtrl, kStore, 0, (1 << 20) - 31, big.data()), kErrInvalidSize);
  EXPECT_EQ(h->endpoint.Calls(), 0);
  // The largest frames still pass.
  EXPECT_EQ(oxa.OxaSyncReadReq(&kCtrl, kPattern, 0, (1 << 20) - 8, big.data()), kOk);
  EXPECT_EQ(oxa.OxaSyncWriteReq(&kCtrl, kStore, 0, (1 << 20) - 32, big.data()), kOk);
  EXPECT_EQ(oxa.OxaSyncSetTimeout(0), kErrInvalidData);
  EXPECT_EQ(oxa.OxaSyncSetTimeout(-5), kErrInvalidData);
  EXPECT_EQ(oxa.OxaSyncSetTimeout(1000), kOk);
}

TEST_P(Conformance, ClosedPortSendsNothing) {
  auto h = GetParam().make({});
  IOxa& oxa = h->Oxa();
  uint8_t buf[8] = {};
  OxaAddr local{};
  EXPECT_EQ(oxa.OxaGetLocalAddress(&local), kErrTargetMachineNotFound);
  EXPECT_EQ(oxa.OxaSyncReadReq(&kCtrl, kPattern, 0, 8, buf), kErrTargetMachineNotFound);
  const long handle = oxa.OxaPortOpen();
  EXPECT_NE(handle, 0);
  EXPECT_EQ(oxa.OxaPortOpen(), handle);
  EXPECT_EQ(oxa.OxaSyncReadReq(&kCtrl, kPattern, 0, 8, buf), kOk);
  EXPECT_EQ(oxa.OxaPortClose(), kOk);
  EXPECT_EQ(oxa.OxaSyncWriteReq(&kCtrl, kStore, 0, 1, buf), kErrTargetMachineNotFound);
  EXPECT_EQ(h->endpoint.Calls(), 1);
}

TEST_P(Conformance, DroppedRequestTimesOut) {
  auto h = Open();
  IOxa& oxa = h->Oxa();
  ASSERT_EQ(oxa.OxaSyncSetTimeout(150), kOk);
  uint8_t buf[4] = {};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(oxa.OxaSyncReadReq(&kCtrl, kDrop, 0, 4, buf), kErrTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150 + 250));
  // The next request is answered normally.
  EXPECT_EQ(oxa.OxaSyncReadReq(&kCtrl, kPattern, 0, 4, buf), kOk);
}

TEST_P(Conformance, LocalRouterListsTheRoutes) {
  RouteTable table;
  for (int i = 0; i < 60; ++i) {
    std::string name = "route" + std::to_string(i);
    if (i == 7) name = std::string(35, 'x');
    table.routes.push_back(
        {name, NetId{{10, 0, 0, uint8_t(i), 1, 1}}, "127.0.0.1", uint16_t(40000 + i)});
  }
  auto h = Open(table);
  IOxa& oxa = h->Oxa();
  const OxaAddr router{kCtrlNetId, kRouterPort};
  int32_t count = -1;
  ASSERT_EQ(oxa.OxaSyncReadReq(&router, kRouterIndexGroup, kRouterOffsetCount, 4, &count), kOk);
  EXPECT_EQ(count, 60);
  std::vector<uint8_t> list(60 * kRouteRecordSize, 0xEE);
  ASSERT_EQ(oxa.OxaSyncReadReq(&router, kRouterIndexGroup, kRouterOffsetList, uint32_t(list.size()),
                               list.data()),
            kOk);
  for (int i = 0; i < 60; ++i) {
    SCOPED_TRACE(i);
    const uint8_t* rec = list.data() + size_t(i) * kRouteRecordSize;
    EXPECT_TRUE(std::all_of(rec, rec + 16, [](uint8_t b) { return b == 0; }));
    const auto* name = reinterpret_cast<const char*>(rec + 16);
    EXPECT_EQ(std::string(name, strnlen(name, 36)), table.routes[size_t(i)].name);
    EXPECT_EQ(rec[51], 0) << "the name stays zero-terminated";
    EXPECT_EQ(std::memcmp(rec + 52, table.routes[size_t(i)].netId.b.data(), 6), 0);
  }
  EXPECT_EQ(h->endpoint.Calls(), 0) << "the router answers without the network";

  std::vector<uint8_t> buf(61 * kRouteRecordSize);
  const uint32_t ig = kRouterIndexGroup;
  EXPECT_EQ(oxa.OxaSyncReadReq(&router, ig, kRouterOffsetList, 59 * 58, buf.data()),
            kErrInvalidSize);
  EXPECT_EQ(oxa.OxaSyncReadReq(&router, ig, kRouterOffsetList, 61 * 58, buf.data()),
            kErrInvalidSize);
  EXPECT_EQ(oxa.OxaSyncReadReq(&router, ig, kRouterOffsetCount, 8, buf.data()), kErrInvalidSize);
  EXPECT_EQ(oxa.OxaSyncReadReq(&router, ig, 3, 4, buf.data()), kErrServiceNotSupported);
  EXPECT_EQ(oxa.OxaSyncWriteReq(&router, ig, kRouterOffsetCount, 4, buf.data()),
            kErrServiceNotSupported);
  EXPECT_EQ(oxa.OxaSyncReadWriteReq(&router, ig, kRouterOffsetCount, 4, buf.data(), 4, buf.data()),
            kErrServiceNotSupported);
}

TEST(OxaDirect, RequestsDoNotAllocate) {
  TestEndpoint endpoint;
  RouteTable table;
  table.local.netId = kCtrlNetId;
  table.routes.push_back({"r", NetId{{1, 2, 3, 4, 5, 6}}, "h", 1});
  OxaDirect direct(table);
  direct.Register(kCtrlNetId, endpoint);
  ASSERT_NE(direct.OxaPortOpen(), 0);
  const OxaAddr router{kCtrlNetId, kRouterPort};
  uint8_t buf[58];
  const size_t before = AllocationCount();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(direct.OxaSyncReadReq(&kCtrl, kPattern, 0, 8, buf), kOk);
    ASSERT_EQ(direct.OxaSyncReadWriteReq(&kCtrl, kReverse, 0, 4, buf, 4, buf + 8), kOk);
    ASSERT_EQ(direct.OxaSyncReadReq(&router, kRouterIndexGroup, kRouterOffsetList, 58, buf), kOk);
  }
  EXPECT_EQ(AllocationCount(), before);
}

INSTANTIATE_TEST_SUITE_P(Oxa, Conformance, ::testing::Values(DirectBackend(), TcpBackend()),
                         [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace oxa::test
