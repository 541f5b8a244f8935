#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "sim/Controller.h"
#include "sim/Reply.h"

using namespace simtest;

TEST(Controller, DispatchesAndKeepsAnswersToTheReadLength) {
  sim::Controller c(kNetId);
  c.Port(851).Add(0x100, 4, [](const oxa::OxaRequest& r, std::span<uint8_t> out) {
    return sim::ReadValue<uint32_t>(r, out, r.indexOffset);
  });
  // Faulty handlers: a success shorter than asked, a failure that claims data.
  c.Port(851).Add(1, 4, [](const oxa::OxaRequest&, std::span<uint8_t>) { return sim::Done(2); });
  c.Port(851).Add(2, 4, [](const oxa::OxaRequest&, std::span<uint8_t>) {
    return oxa::OxaReplyInfo{oxa::kErrInvalidData, 4, false};
  });
  c.Port(900);  // created, but serving nothing
  const struct {
    oxa::NetId target;
    uint16_t port;
    uint32_t group;
    int32_t result;
  } cases[] = {
      {kNetId, 851, 0x100, oxa::kOk},
      {oxa::NetId{{127, 0, 0, 1, 1, 2}}, 851, 0x100, oxa::kErrTargetMachineNotFound},
      {kNetId, 852, 0x100, oxa::kErrTargetPortNotFound},
      {kNetId, 900, 0x100, oxa::kErrTargetPortNotFound},
      {kNetId, 851, 0x101, oxa::kErrInvalidIndexGroup},
      {kNetId, 851, 1, oxa::kErrInvalidSize},
      {kNetId, 851, 2, oxa::kErrInvalidData},
  };
  for (const auto& k : cases) {
    Answer a = Send(c, oxa::Command::Read, k.port, k.group, 7, 4, {}, k.target);
    EXPECT_EQ(a.result(), k.result) << k.port << " " << k.group;
    EXPECT_EQ(a.data.size(), k.result == oxa::kOk ? 4u : 0u) << k.port << " " << k.group;
  }
  EXPECT_EQ(Read(c, 851, 0x100, 7, 4).As<uint32_t>(), 7u);
}

TEST(Controller, GivesAnAnswerNoMoreRoomThanItsGroupEverAnswers) {
  sim::Controller c(kNetId);
  c.Port(851).Add(0x100, 4, [](const oxa::OxaRequest& r, std::span<uint8_t> out) {
    return sim::ReadValue<uint32_t>(r, out, 7);
  });
  c.Port(851).Add(0x200, 256, [](const oxa::OxaRequest& r, std::span<uint8_t> out) {
    return sim::ReadText(r, out, "Valdor OxaServer", 256);
  });
  c.Port(851).Add(0x300, 0, [](const oxa::OxaRequest& r, std::span<uint8_t>) {
    return r.command == oxa::Command::Write ? sim::Done() : sim::Fail(oxa::kErrServiceNotSupported);
  });
  // Declares less than it answers: refused whoever calls, not only over TCP.
  c.Port(851).Add(0x400, 2, [](const oxa::OxaRequest& r, std::span<uint8_t> out) {
    return sim::ReadValue<uint32_t>(r, out, 7);
  });
  sim::Fault shortAnswer;
  shortAnswer.port = 851;
  shortAnswer.indexGroup = 0x500;
  shortAnswer.kind = sim::Fault::Kind::WrongLength;
  shortAnswer.length = 3;
  c.Faults().Add(shortAnswer);
  constexpr uint32_t kMiB = 1 << 20;
  const struct {
    oxa::NetId target;
    uint16_t port;
    uint32_t group;
    uint32_t readLength;
    uint32_t room;
    int32_t result;
  } cases[] = {
      {kNetId, 851, 0x100, 4, 4, oxa::kOk},
      {kNetId, 851, 0x100, kMiB, 4, oxa::kErrInvalidSize},
      {kNetId, 851, 0x200, 100, 100, oxa::kOk},
      {kNetId, 851, 0x200, kMiB, 256, oxa::kErrInvalidSize},
      {kNetId, 851, 0x300, kMiB, 0, oxa::kErrServiceNotSupported},
      {kNetId, 851, 0x400, 4, 2, oxa::kErrInvalidSize},
      {kNetId, 851, 0x500, kMiB, 3, oxa::kOk},  // the fault's short answer
      {kNetId, 851, 0x101, kMiB, 0, oxa::kErrInvalidIndexGroup},
      {kNetId, 852, 0x100, kMiB, 0, oxa::kErrTargetPortNotFound},
      {oxa::NetId{{1, 2, 3, 4, 5, 6}}, 851, 0x100, kMiB, 0, oxa::kErrTargetMachineNotFound},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << k.group << std::dec << " " << k.readLength);
    oxa::OxaRequest r;
    r.target = {k.target, k.port};
    r.indexGroup = k.group;
    r.readLength = k.readLength;
    const uint32_t room = c.AnswerRoom(r);
    EXPECT_EQ(room, k.room);
    // The answer is the same in the room the transport gives as in a buffer of the full length.
    for (const size_t size : {size_t{room}, size_t{k.readLength}}) {
      std::vector<uint8_t> buffer(size);
      const oxa::OxaReplyInfo reply = c.Handle(r, buffer);
      EXPECT_EQ(reply.result, k.result) << size;
      EXPECT_LE(reply.dataLength, room) << size;
    }
  }
}

TEST(Service, RefusesOverlappingRanges) {
  sim::Service s;
  auto h = [](const oxa::OxaRequest&, std::span<uint8_t>) { return sim::Done(); };
  EXPECT_TRUE(s.AddRange(0x10, 0x1F, 0, h));
  for (auto [first, last] :
       {std::pair{0x1Fu, 0x20u}, {0x0u, 0x10u}, {0x12u, 0x13u}, {0x5u, 0x30u}, {0x40u, 0x3Fu}}) {
    EXPECT_FALSE(s.AddRange(first, last, 0, h)) << first << ".." << last;
  }
  EXPECT_TRUE(s.AddRange(0x20, 0x20, 0, h));
  EXPECT_TRUE(s.AddRange(0x00, 0x0F, 0, h));
  EXPECT_TRUE(s.Add(0xFFFFFFFF, 0, h));
  for (uint32_t g : {0x00u, 0x1Fu, 0x20u, 0xFFFFFFFFu}) EXPECT_TRUE(s.Serves(g)) << g;
  for (uint32_t g : {0x21u, 0xFFFFFFFEu}) EXPECT_FALSE(s.Serves(g)) << g;
}

TEST(Faults, AnswerInPlaceOfTheService) {
  sim::Controller c(kNetId);
  c.Port(851).Add(0x100, 4, [](const oxa::OxaRequest& r, std::span<uint8_t> out) {
    return sim::ReadValue<uint32_t>(r, out, r.indexOffset);
  });
  sim::Fault f{.port = 851, .indexGroup = 0x100, .indexOffset = 5, .error = oxa::kErrBusy};
  const int busy = c.Faults().Add(f);
  f.indexOffset = 6;
  f.kind = sim::Fault::Kind::Drop;
  c.Faults().Add(f);
  f.indexOffset.reset();  // every other offset of the group
  f.kind = sim::Fault::Kind::WrongLength;
  f.length = 100;  // more than asked: the answer is still shorter than the read length
  c.Faults().Add(f);
  f = sim::Fault{};  // a port without a service can misbehave too
  f.port = 860;
  f.indexGroup = 0x100;
  c.Faults().Add(f);

  EXPECT_EQ(Read(c, 851, 0x100, 5, 4).result(), oxa::kErrBusy);
  EXPECT_TRUE(Read(c, 851, 0x100, 6, 4).info.dropped);
  EXPECT_EQ(Read(c, 851, 0x100, 7, 4).data.size(), 3u);
  EXPECT_EQ(Read(c, 860, 0x100, 0, 4).result(), oxa::kErrNotReady);
  // The first fault added wins; once it is removed the next one answers.
  c.Faults().Remove(busy);
  EXPECT_EQ(Read(c, 851, 0x100, 5, 4).data.size(), 3u);
  c.Faults().Clear();
  EXPECT_EQ(Read(c, 851, 0x100, 5, 4).As<uint32_t>(), 5u);
}

TEST(RequestLog, RecordsEveryRequestAndStaysBounded) {
  sim::Controller c(kNetId);
  const uint8_t data[3] = {1, 2, 3};
  Read(c, 851, 0x100, 1, 4);
  Write(c, 852, 0x200, 2, data);
  Send(c, oxa::Command::Read, 851, 0x100, 3, 4, {}, oxa::NetId{{9, 9, 9, 9, 9, 9}});
  const auto entries = c.Log().Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], (sim::LoggedRequest{kNetId, 851, oxa::Command::Read, 0x100, 1, 4, 0}));
  EXPECT_EQ(entries[1], (sim::LoggedRequest{kNetId, 852, oxa::Command::Write, 0x200, 2, 0, 3}));
  EXPECT_EQ(c.Log().Count([](const sim::LoggedRequest& e) { return e.port == 851; }), 2u);

  sim::RequestLog small(2);
  oxa::OxaRequest r;
  for (r.indexOffset = 0; r.indexOffset < 5; ++r.indexOffset) small.Record(r);
  EXPECT_EQ(small.Total(), 5u);
  const auto kept = small.Entries();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].indexOffset, 3u);
}
