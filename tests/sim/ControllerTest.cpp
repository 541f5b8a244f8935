#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/Controller.h"
#include "sim/Reply.h"

using namespace simtest;

namespace {

// A port with one group that answers a 4-byte read with the index offset.
void Serve851(sim::Controller& c) {
  c.Port(851).Add(0x100, [](const oxa::OxaRequest& r, std::span<uint8_t> out) {
    return sim::ReadValue<uint32_t>(r, out, r.indexOffset);
  });
}

}  // namespace

TEST(Controller, DispatchesByNetIdPortAndGroup) {
  sim::Controller c(kNetId);
  Serve851(c);
  c.Port(900);  // created but serving nothing: still no service
  struct Case {
    const char* what;
    oxa::NetId target;
    uint16_t port;
    uint32_t group;
    int32_t result;
  } cases[] = {
      {"served", kNetId, 851, 0x100, oxa::kOk},
      {"foreign NetId", oxa::NetId{{127, 0, 0, 1, 1, 2}}, 851, 0x100,
       oxa::kErrTargetMachineNotFound},
      {"unknown port", kNetId, 852, 0x100, oxa::kErrTargetPortNotFound},
      {"empty port", kNetId, 900, 0x100, oxa::kErrTargetPortNotFound},
      {"unknown group", kNetId, 851, 0x101, oxa::kErrInvalidIndexGroup},
  };
  for (const Case& k : cases) {
    Answer a = Send(c, oxa::Command::Read, k.port, k.group, 7, 4, {}, k.target);
    EXPECT_EQ(a.result(), k.result) << k.what;
    EXPECT_EQ(a.data.size(), k.result == oxa::kOk ? 4u : 0u) << k.what;
  }
  EXPECT_EQ(Read(c, 851, 0x100, 7, 4).As<uint32_t>(), 7u);
}

TEST(Controller, HoldsHandlersToTheAnswerLengthRule) {
  sim::Controller c(kNetId);
  // A faulty handler that claims fewer bytes than asked, and one that fails but claims data.
  c.Port(851).Add(1, [](const oxa::OxaRequest&, std::span<uint8_t>) { return sim::Done(2); });
  c.Port(851).Add(2, [](const oxa::OxaRequest&, std::span<uint8_t>) {
    return oxa::OxaReplyInfo{oxa::kErrInvalidData, 4, false};
  });
  EXPECT_EQ(Read(c, 851, 1, 0, 4).result(), oxa::kErrInvalidSize);
  Answer failed = Read(c, 851, 2, 0, 4);
  EXPECT_EQ(failed.result(), oxa::kErrInvalidData);
  EXPECT_TRUE(failed.data.empty());
}

TEST(Service, RefusesOverlappingRanges) {
  sim::Service s;
  auto h = [](const oxa::OxaRequest&, std::span<uint8_t>) { return sim::Done(); };
  EXPECT_TRUE(s.AddRange(0x10, 0x1F, h));
  EXPECT_FALSE(s.AddRange(0x1F, 0x20, h));
  EXPECT_FALSE(s.AddRange(0x00, 0x10, h));
  EXPECT_FALSE(s.AddRange(0x12, 0x13, h));
  EXPECT_FALSE(s.AddRange(0x05, 0x30, h));
  EXPECT_FALSE(s.AddRange(0x40, 0x3F, h));
  EXPECT_TRUE(s.AddRange(0x20, 0x20, h));
  EXPECT_TRUE(s.AddRange(0x00, 0x0F, h));
  EXPECT_TRUE(s.Add(0xFFFFFFFF, h));
  for (uint32_t g : {0x00u, 0x0Fu, 0x10u, 0x1Fu, 0x20u, 0xFFFFFFFFu}) EXPECT_TRUE(s.Serves(g)) << g;
  for (uint32_t g : {0x21u, 0xFFFFFFFEu}) EXPECT_FALSE(s.Serves(g)) << g;
}

TEST(Faults, AnswerInPlaceOfTheService) {
  sim::Controller c(kNetId);
  Serve851(c);
  sim::Fault err;
  err.port = 851;
  err.indexGroup = 0x100;
  err.indexOffset = 5;
  err.kind = sim::Fault::Kind::Error;
  err.error = oxa::kErrBusy;
  const int errId = c.Faults().Add(err);

  sim::Fault drop = err;
  drop.indexOffset = 6;
  drop.kind = sim::Fault::Kind::Drop;
  c.Faults().Add(drop);

  sim::Fault shortAnswer = err;
  shortAnswer.indexOffset.reset();  // every other offset of the group
  shortAnswer.kind = sim::Fault::Kind::WrongLength;
  shortAnswer.length = 100;  // more than asked: still answers fewer bytes than the read length
  c.Faults().Add(shortAnswer);

  // A fault on a port without a service is still answered: a test can make any port misbehave.
  sim::Fault noPort = err;
  noPort.port = 860;
  noPort.indexOffset.reset();
  c.Faults().Add(noPort);

  EXPECT_EQ(Read(c, 851, 0x100, 5, 4).result(), oxa::kErrBusy);
  Answer dropped = Read(c, 851, 0x100, 6, 4);
  EXPECT_TRUE(dropped.info.dropped);
  EXPECT_TRUE(dropped.data.empty());
  Answer wrong = Read(c, 851, 0x100, 7, 4);
  EXPECT_EQ(wrong.result(), oxa::kOk);
  EXPECT_EQ(wrong.data.size(), 3u);
  EXPECT_EQ(Read(c, 860, 0x100, 0, 4).result(), oxa::kErrBusy);
  EXPECT_EQ(
      Send(c, oxa::Command::Read, 851, 0x100, 5, 4, {}, oxa::NetId{{1, 2, 3, 4, 5, 6}}).result(),
      oxa::kErrTargetMachineNotFound);

  // The first fault added wins; removing it lets the next matching one answer.
  c.Faults().Remove(errId);
  EXPECT_EQ(Read(c, 851, 0x100, 5, 4).data.size(), 3u);
  c.Faults().Clear();
  Answer normal = Read(c, 851, 0x100, 5, 4);
  EXPECT_EQ(normal.result(), oxa::kOk);
  EXPECT_EQ(normal.As<uint32_t>(), 5u);
}

TEST(RequestLog, RecordsEveryRequestAndStaysBounded) {
  sim::Controller c(kNetId);
  Serve851(c);
  const uint8_t data[3] = {1, 2, 3};
  Read(c, 851, 0x100, 1, 4);
  Write(c, 852, 0x200, 2, data);
  Send(c, oxa::Command::Read, 851, 0x100, 3, 4, {}, oxa::NetId{{9, 9, 9, 9, 9, 9}});
  const auto entries = c.Log().Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], (sim::LoggedRequest{kNetId, 851, oxa::Command::Read, 0x100, 1, 4, 0}));
  EXPECT_EQ(entries[1], (sim::LoggedRequest{kNetId, 852, oxa::Command::Write, 0x200, 2, 0, 3}));
  EXPECT_EQ(entries[2].target, (oxa::NetId{{9, 9, 9, 9, 9, 9}}));
  EXPECT_EQ(c.Log().Count([](const sim::LoggedRequest& e) { return e.port == 851; }), 2u);

  sim::RequestLog small(2);
  oxa::OxaRequest r;
  for (uint32_t i = 0; i < 5; ++i) {
    r.indexOffset = i;
    small.Record(r);
  }
  EXPECT_EQ(small.Total(), 5u);
  const auto kept = small.Entries();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].indexOffset, 3u);
  EXPECT_EQ(kept[1].indexOffset, 4u);
  small.Clear();
  EXPECT_EQ(small.Total(), 0u);
  EXPECT_TRUE(small.Entries().empty());
}
