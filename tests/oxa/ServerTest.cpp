#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "AllocTracker.h"
#include "RawConn.h"
#include "TestEndpoint.h"
#include "oxa/OxaTcpServer.h"

namespace oxa::test {
namespace {

using Got = RawConn::Got;

std::vector<uint8_t> Request(uint32_t invokeId, Command command, uint32_t group, uint32_t offset,
                             uint32_t readLength, std::vector<uint8_t> write = {}) {
  OxaRequest r;
  r.target = {kCtrlNetId, kCtrlPort};
  r.source = {NetId{{1, 1, 1, 1, 1, 1}}, 40000};
  r.command = command;
  r.indexGroup = group;
  r.indexOffset = offset;
  r.readLength = readLength;
  r.writeData = write;
  std::vector<uint8_t> out;
  wire::EncodeRequest(out, invokeId, r);
  return out;
}

struct Decoded {
  wire::Header header;
  int32_t result = 0;
  std::vector<uint8_t> data;
};

Decoded DecodeAnswer(const std::vector<uint8_t>& frame) {
  Decoded d;
  EXPECT_EQ(wire::DecodeHeader(std::span<const uint8_t, 16>(frame.data(), 16), d.header),
            wire::FrameError::None);
  wire::Answer a;
  EXPECT_EQ(wire::DecodeAnswerBody(std::span(frame).subspan(16), a), wire::FrameError::None);
  d.result = a.result;
  d.data.assign(a.data.begin(), a.data.end());
  return d;
}

// Resets the peak resident memory of this process; false when the kernel does not allow it.
bool ResetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good();
}

// Peak resident memory of this process since start or the last reset, in KiB; -1 if unknown.
long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    server_ = OxaTcpServer::Start(endpoint_, "127.0.0.1", 0, error);
    ASSERT_TRUE(server_) << error;
    ASSERT_NE(server_->Port(), 0);
  }

  // One good request on a fresh connection is answered.
  void ExpectServing() {
    RawConn c(server_->Port());
    ASSERT_TRUE(c.Send(Request(77, Command::Read, kPattern, 0, 4)));
    std::vector<uint8_t> frame;
    ASSERT_EQ(c.ReadFrame(frame), Got::Frame);
    EXPECT_EQ(DecodeAnswer(frame).result, kOk);
  }

  TestEndpoint endpoint_;
  std::unique_ptr<OxaTcpServer> server_;
};

TEST_F(ServerTest, AnswersEchoInvokeIdAndCommand) {
  RawConn c(server_->Port());
  ASSERT_TRUE(c.Connected());
  // Two requests in one write are answered in order.
  auto both = Request(0xA1B2C3D4, Command::Read, kPattern, 3, 6);
  const auto second = Request(5, Command::ReadWrite, kReverse, 0, 2, {7, 8});
  both.insert(both.end(), second.begin(), second.end());
  ASSERT_TRUE(c.Send(both));
  std::vector<uint8_t> frame;
  ASSERT_EQ(c.ReadFrame(frame), Got::Frame);
  Decoded d = DecodeAnswer(frame);
  EXPECT_EQ(d.header.invokeId, 0xA1B2C3D4);
  EXPECT_EQ(d.header.command, Command::Read);
  EXPECT_EQ(d.header.flags, wire::kFlagAnswer);
  EXPECT_EQ(d.result, kOk);
  EXPECT_EQ(d.data, (std::vector<uint8_t>{3, 4, 5, 6, 7, 8}));
  ASSERT_EQ(c.ReadFrame(frame), Got::Frame);
  d = DecodeAnswer(frame);
  EXPECT_EQ(d.header.invokeId, 5u);
  EXPECT_EQ(d.header.command, Command::ReadWrite);
  EXPECT_EQ(d.data, (std::vector<uint8_t>{8, 7}));

  // An error carries the data the endpoint gave; a success longer than asked is cut.
  ASSERT_TRUE(c.Send(Request(6, Command::Read, kFail, 0x4356, 8)));
  ASSERT_EQ(c.ReadFrame(frame), Got::Frame);
  d = DecodeAnswer(frame);
  EXPECT_EQ(d.result, 0x4356);
  EXPECT_EQ(d.data.size(), 4u);
  ASSERT_TRUE(c.Send(Request(7, Command::Read, kShort, 100, 8)));
  ASSERT_EQ(c.ReadFrame(frame), Got::Frame);
  EXPECT_EQ(DecodeAnswer(frame).data.size(), 8u);
}

TEST_F(ServerTest, DroppedReplySendsNothingAndKeepsTheConnection) {
  RawConn c(server_->Port(), 300);
  ASSERT_TRUE(c.Send(Request(1, Command::Read, kDrop, 0, 4)));
  std::vector<uint8_t> frame;
  EXPECT_EQ(c.ReadFrame(frame), Got::TimedOut);
  ASSERT_TRUE(c.Send(Request(2, Command::Read, kPattern, 0, 4)));
  ASSERT_EQ(c.ReadFrame(frame), Got::Frame);
  EXPECT_EQ(DecodeAnswer(frame).header.invokeId, 2u);
}

TEST_F(ServerTest, MalformedFramesCloseOnlyTheirConnection) {
  auto withHeader = [](std::vector<uint8_t> f, size_t at, uint32_t v) {
    bytes::Put<uint32_t>(f, at, v);
    return f;
  };
  auto withShort = [](std::vector<uint8_t> f, size_t at, uint16_t v) {
    bytes::Put<uint16_t>(f, at, v);
    return f;
  };
  const auto good = Request(1, Command::Read, kPattern, 0, 4);
  const auto write = Request(1, Command::Write, kStore, 0, 0, {1, 2, 3, 4});
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"garbage", std::vector<uint8_t>(64, 0x5A)},
      {"wrong magic version", withShort(good, 2, 0x0241)},
      {"unknown command", withShort(good, 12, 4)},
      {"command 0", withShort(good, 12, 0)},
      {"answer flag", withShort(good, 14, 1)},
      {"other flag bits", withShort(good, 14, 0x100)},
      {"body over 1 MiB", withHeader(good, 4, wire::kMaxBody + 1)},
      {"body shorter than a request",
       withHeader(std::vector<uint8_t>(good.begin(), good.begin() + 40), 4, 24)},
      {"write length beyond the body", withHeader(write, 16 + 28, 5)},
      {"write length short of the body", withHeader(write, 16 + 28, 3)},
      {"read with write data", withShort(write, 12, 1)},
      {"write with read length", withHeader(withShort(good, 12, 2), 16 + 24, 4)},
      {"read over the frame limit", withHeader(good, 16 + 24, wire::kMaxReadLength + 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RawConn bad(server_->Port());
    RawConn other(server_->Port());
    ASSERT_TRUE(bad.Send(c.bytes));
    std::vector<uint8_t> frame;
    EXPECT_EQ(bad.ReadFrame(frame), Got::Closed);
    ASSERT_TRUE(other.Send(good));
    EXPECT_EQ(other.ReadFrame(frame), Got::Frame);
  }
  EXPECT_FALSE(endpoint_.Overlapped());
}

TEST_F(ServerTest, UnbackedLengthFieldsDoNotAllocateTheLimit) {
  // Ten connections announce a full 1 MiB body and send only its first 100 bytes.
  auto header =
      Request(1, Command::Write, kStore, 0, 0, std::vector<uint8_t>(wire::kMaxWriteLength));
  header.resize(16 + 100);
  std::vector<std::unique_ptr<RawConn>> stalled;
  ResetLargestAllocation();
  for (int i = 0; i < 10; ++i) {
    stalled.push_back(std::make_unique<RawConn>(server_->Port()));
    ASSERT_TRUE(stalled.back()->Send(header));
  }
  ExpectServing();
  EXPECT_LT(LargestAllocation(), 128u * 1024) << "buffers grow with the bytes that arrive";

  // A whole frame of the limit is still accepted.
  RawConn big(server_->Port());
  ASSERT_TRUE(big.Send(
      Request(2, Command::Write, kStore, 0, 0, std::vector<uint8_t>(wire::kMaxWriteLength, 1))));
  std::vector<uint8_t> frame;
  ASSERT_EQ(big.ReadFrame(frame), Got::Frame);
  EXPECT_EQ(DecodeAnswer(frame).result, kOk);
}

TEST_F(ServerTest, AnswersNotReadLengthsBoundTheMemory) {
  constexpr int kClients = 256;
  std::vector<std::unique_ptr<RawConn>> conns;
  std::vector<uint8_t> frame;
  for (int i = 0; i < kClients; ++i) {
    conns.push_back(std::make_unique<RawConn>(server_->Port()));
    ASSERT_TRUE(conns.back()->Send(Request(1, Command::Read, kSource, 0, 8)));
    ASSERT_EQ(conns.back()->ReadFrame(frame), Got::Frame);
  }
  if (!ResetPeakResident() || PeakResidentKiB() < 0) GTEST_SKIP() << "no peak memory to read";
  const long before = PeakResidentKiB();
  // All ask at once for a megabyte of an 8-byte value, so that no answer waits for another.
  for (auto& c : conns) {
    ASSERT_TRUE(c->Send(Request(2, Command::Read, kSource, 0, wire::kMaxReadLength)));
  }
  for (auto& c : conns) {
    ASSERT_EQ(c->ReadFrame(frame), Got::Frame);
    EXPECT_EQ(DecodeAnswer(frame).result, kErrInvalidSize);
  }
  EXPECT_LT(PeakResidentKiB() - before, 16 * 1024);
}

TEST_F(ServerTest, ManyClientsAreServedOneRequestAtATime) {
  constexpr int kClients = 8;
  constexpr int kRequests = 200;
  std::vector<std::thread> threads;
  std::atomic<int> answered{0};
  for (int t = 0; t < kClients; ++t) {
    threads.emplace_back([&, t] {
      RawConn c(server_->Port());
      std::vector<uint8_t> frame;
      for (int i = 0; i < kRequests; ++i) {
        const auto id = static_cast<uint32_t>(t * 1000 + i);
        if (!c.Send(Request(id, Command::Read, kPattern, id, 16))) return;
        if (c.ReadFrame(frame) != Got::Frame) return;
        wire::Header h;
        wire::DecodeHeader(std::span<const uint8_t, 16>(frame.data(), 16), h);
        if (h.invokeId == id && frame.size() == 16 + 8 + 16 && frame[24] == uint8_t(id)) ++answered;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(answered.load(), kClients * kRequests);
  EXPECT_FALSE(endpoint_.Overlapped());
}

TEST_F(ServerTest, ConnectionsBeyondTheLimitAreClosed) {
  std::vector<std::unique_ptr<RawConn>> conns;
  std::vector<uint8_t> frame;
  for (int i = 0; i < 256; ++i) {
    conns.push_back(std::make_unique<RawConn>(server_->Port()));
    ASSERT_TRUE(conns.back()->Send(Request(uint32_t(i), Command::Read, kPattern, 0, 4)));
    ASSERT_EQ(conns.back()->ReadFrame(frame), Got::Frame) << i;
  }
  RawConn extra(server_->Port());
  extra.Send(Request(1, Command::Read, kPattern, 0, 4));
  EXPECT_EQ(extra.ReadFrame(frame), Got::Closed);
  ASSERT_TRUE(conns.front()->Send(Request(2, Command::Read, kPattern, 0, 4)));
  EXPECT_EQ(conns.front()->ReadFrame(frame), Got::Frame);
}

TEST_F(ServerTest, AtTheLimitTheLongestIdlePastTheGraceMakesRoom) {
  std::atomic<int64_t> nowMs{0};
  OxaServerOptions options;
  options.clock = [&nowMs] {
    return std::chrono::steady_clock::time_point(std::chrono::milliseconds(nowMs.load()));
  };
  std::string error;
  auto server = OxaTcpServer::Start(endpoint_, "127.0.0.1", 0, error, options);
  ASSERT_TRUE(server) << error;
  std::vector<uint8_t> frame;
  const auto served = [&](RawConn& c) {
    return c.Send(Request(9, Command::Read, kPattern, 0, 4)) && c.ReadFrame(frame) == Got::Frame;
  };
  std::vector<std::unique_ptr<RawConn>> silent;
  for (int i = 0; i < 256; ++i) silent.push_back(std::make_unique<RawConn>(server->Port()));
  // Within the grace nobody makes room; once this is closed, all 256 have been accepted.
  RawConn early(server->Port());
  EXPECT_FALSE(served(early));

  nowMs = 3000;
  ASSERT_TRUE(served(*silent[0]));  // no longer the longest idle
  nowMs = 10500;                    // the others are idle for 10.5 s, the first for 7.5 s
  RawConn late(server->Port());
  EXPECT_TRUE(served(late));
  EXPECT_EQ(silent[1]->ReadFrame(frame), Got::Closed);
  EXPECT_TRUE(served(*silent[0]));
  EXPECT_TRUE(served(*silent[2]));  // one was enough
}

TEST_F(ServerTest, StopEndsServingAndABusyPortFailsToStart) {
  std::string error;
  EXPECT_EQ(OxaTcpServer::Start(endpoint_, "127.0.0.1", server_->Port(), error), nullptr);
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_EQ(OxaTcpServer::Start(endpoint_, "no-such-host.invalid", 0, error), nullptr);
  EXPECT_FALSE(error.empty());

  RawConn open(server_->Port());
  ASSERT_TRUE(open.Send(Request(1, Command::Read, kPattern, 0, 4)));
  std::vector<uint8_t> frame;
  ASSERT_EQ(open.ReadFrame(frame), Got::Frame);
  const uint16_t port = server_->Port();
  server_->Stop();
  server_->Stop();
  EXPECT_EQ(open.ReadFrame(frame), Got::Closed);
  const int calls = endpoint_.Calls();
  RawConn late(port);
  EXPECT_FALSE(late.Connected() && late.Send(Request(2, Command::Read, kPattern, 0, 4)) &&
               late.ReadFrame(frame) == Got::Frame);
  EXPECT_EQ(endpoint_.Calls(), calls);
}

}  // namespace
}  // namespace oxa::test
