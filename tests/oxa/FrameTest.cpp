#include <gtest/gtest.h>

#include "oxa/Bytes.h"
#include "oxa/Frame.h"

namespace oxa::wire {
namespace {

OxaRequest SampleRequest(Command command, std::span<const uint8_t> write, uint32_t readLength) {
  OxaRequest r;
  r.target = {NetId{{5, 16, 33, 2, 1, 1}}, 501};
  r.source = {NetId{{127, 0, 0, 1, 1, 1}}, 32769};
  r.command = command;
  r.indexGroup = 0x8000F001;
  r.indexOffset = 0x10;
  r.readLength = readLength;
  r.writeData = write;
  return r;
}

TEST(Frame, RequestRoundTripsThroughAByteStream) {
  const std::vector<uint8_t> write = {1, 2, 3, 4, 5};
  std::vector<uint8_t> stream;
  EncodeRequest(stream, 41, SampleRequest(Command::ReadWrite, write, 8));
  EncodeRequest(stream, 42, SampleRequest(Command::Write, write, 0));
  ASSERT_EQ(stream.size(), 2 * (16 + 32 + 5));
  EXPECT_EQ(bytes::At<uint32_t>(stream, 4), 37u);
  EXPECT_EQ(bytes::At<uint16_t>(stream, 12), 3);

  // Fed byte by byte, the scan asks for the header, then the frame, then has it.
  Header h;
  OxaRequest r;
  for (size_t n = 0; n < 16; ++n) {
    const Scan s = ScanRequest(std::span(stream).first(n), h, r);
    ASSERT_EQ(s.status, Scan::NeedMore);
    ASSERT_EQ(s.size, 16u);
  }
  for (size_t n = 16; n < 53; ++n) {
    const Scan s = ScanRequest(std::span(stream).first(n), h, r);
    ASSERT_EQ(s.status, Scan::NeedMore);
    ASSERT_EQ(s.size, 53u);
  }
  Scan s = ScanRequest(stream, h, r);
  ASSERT_EQ(s.status, Scan::Complete);
  EXPECT_EQ(s.size, 53u);
  EXPECT_EQ(h.invokeId, 41u);
  EXPECT_EQ(r.command, Command::ReadWrite);
  EXPECT_EQ(r.target, SampleRequest(Command::Read, {}, 0).target);
  EXPECT_EQ(r.source.port, 32769);
  EXPECT_EQ(r.indexGroup, 0x8000F001u);
  EXPECT_EQ(r.indexOffset, 0x10u);
  EXPECT_EQ(r.readLength, 8u);
  EXPECT_EQ(std::vector<uint8_t>(r.writeData.begin(), r.writeData.end()), write);
  s = ScanRequest(std::span(stream).subspan(53), h, r);
  ASSERT_EQ(s.status, Scan::Complete);
  EXPECT_EQ(h.invokeId, 42u);
  EXPECT_EQ(r.readLength, 0u);
}

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
  EncodeRequest(request, 7, SampleRequest(Command::Read, {}, 3));
  EXPECT_EQ(ScanAnswer(request, 7, Command::Read, h, a).error, FrameError::NotTheAnswer);
  OxaRequest r;
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
