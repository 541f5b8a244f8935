#include <gtest/gtest.h>

#include "oxa/Bytes.h"
#include "oxa/Frame.h"

namespace oxa::wire {
namespace {

TEST(Frame, AnswerScanChecksItMatchesTheRequest) {
  std::vector<uint8_t> frame;
  const std::vector<uint8_t> data = {9, 8, 7};
  EncodeAnswer(frame, 7, Command::Read, 0x4356, data);
  Header h;
  Answer a;
  Scan s = ScanAnswer(frame, 7, Command::Read, h, a);
  ASSERT_EQ(s.status, Scan::Complete);
  EXPECT_EQ(a.result, 0x4356);
  EXPECT_EQ(std::vector<uint8_t>(a.data.begin(), a.data.end()), data);
  // A mismatch is known from the header alone, before the body has arrived.
  EXPECT_EQ(ScanAnswer(std::span(frame).first(16), 8, Command::Read, h, a).error,
            FrameError::NotTheAnswer);
  EXPECT_EQ(ScanAnswer(frame, 7, Command::ReadWrite, h, a).error, FrameError::NotTheAnswer);
  std::vector<uint8_t> request;
  OxaRequest r;
  r.readLength = 3;
  EncodeRequest(request, 7, r);
  EXPECT_EQ(ScanAnswer(request, 7, Command::Read, h, a).error, FrameError::NotTheAnswer);
  EXPECT_EQ(ScanRequest(frame, h, r).error, FrameError::BadFlags);
}

TEST(Frame, LengthFieldsAreCheckedAgainstTheLimitAndTheBody) {
  std::vector<uint8_t> good;
  EncodeAnswer(good, 1, Command::Read, 0, std::vector<uint8_t>(4));
  auto with = [&](size_t at, uint32_t v) {
    auto f = good;
    bytes::Put<uint32_t>(f, at, v);
    return f;
  };
  const struct {
    std::vector<uint8_t> frame;
    Scan::Status status;
    FrameError error;
  } cases[] = {
      {with(4, kMaxBody + 1), Scan::Bad, FrameError::BodyTooLong},
      {with(4, 0xFFFFFFFF), Scan::Bad, FrameError::BodyTooLong},
      {with(4, kMaxBody), Scan::NeedMore, FrameError::None},
      {with(4, 13), Scan::NeedMore, FrameError::None},
      {with(4, 11), Scan::Bad, FrameError::LengthMismatch},
      {with(4, 4), Scan::Bad, FrameError::LengthMismatch},
      {with(20, 5), Scan::Bad, FrameError::LengthMismatch},
      {with(20, 0xFFFFFFFF), Scan::Bad, FrameError::LengthMismatch},
      {with(0, 0x01415850), Scan::Bad, FrameError::BadMagic},
  };
  for (const auto& c : cases) {
    Header h;
    Answer a;
    const Scan s = ScanAnswer(c.frame, 1, Command::Read, h, a);
    EXPECT_EQ(s.status, c.status) << ToString(s.error);
    EXPECT_EQ(s.error, c.error) << ToString(s.error);
    if (s.status == Scan::NeedMore) {
      EXPECT_LE(s.size, kHeaderSize + kMaxBody);
    }
  }
}

}  // namespace
}  // namespace oxa::wire
