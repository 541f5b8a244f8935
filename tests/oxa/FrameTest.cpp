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

// Frames written out byte by byte from the wire description, so that a mistake made alike in
// the encoder and the decoder (swapped fields, a wrong width or byte order) cannot pass.
struct GoldenRequest {
  const char* what;
  uint32_t invokeId;
  OxaRequest request;
  std::vector<uint8_t> frame;
};

const std::vector<uint8_t> kWriteData = {0xDE, 0xAD, 0xBE, 0xEF};
const std::vector<uint8_t> kSymbolName = {0x41, 0x42};

std::vector<GoldenRequest> GoldenRequests() {
  const NetId remote{{5, 16, 33, 2, 1, 1}};
  const NetId local{{127, 0, 0, 1, 1, 1}};
  return {
      {"read",
       0x11223344,
       {{remote, 851}, {local, 0x8001}, Command::Read, 0x8000F001, 1, 64, {}},
       {0x4F, 0x58, 0x41, 0x01, 0x20, 0x00, 0x00, 0x00, 0x44, 0x33, 0x22, 0x11,  // magic, 32, id
        0x01, 0x00, 0x00, 0x00,                                                  // read, request
        0x05, 0x10, 0x21, 0x02, 0x01, 0x01, 0x53, 0x03,                          // target
        0x7F, 0x00, 0x00, 0x01, 0x01, 0x01, 0x01, 0x80,                          // source
        0x01, 0xF0, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00,                          // group, offset
        0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},                        // 64, 0
      {"write",
       2,
       {{local, 851}, {local, 0x8001}, Command::Write, 0x80004203, 5, 0, kWriteData},
       {0x4F, 0x58, 0x41, 0x01, 0x24, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // magic, 36, id
        0x02, 0x00, 0x00, 0x00,                                                  // write, request
        0x7F, 0x00, 0x00, 0x01, 0x01, 0x01, 0x53, 0x03,                          // target
        0x7F, 0x00, 0x00, 0x01, 0x01, 0x01, 0x01, 0x80,                          // source
        0x03, 0x42, 0x00, 0x80, 0x05, 0x00, 0x00, 0x00,                          // group, offset
        0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,                          // 0, 4
        0xDE, 0xAD, 0xBE, 0xEF}},
      {"read-write",
       0xA0B0C0D0,
       {{remote, 851}, {local, 0xFFFF}, Command::ReadWrite, 0xF003, 0, 4, kSymbolName},
       {0x4F, 0x58, 0x41, 0x01, 0x22, 0x00, 0x00, 0x00, 0xD0, 0xC0, 0xB0, 0xA0,  // magic, 34, id
        0x03, 0x00, 0x00, 0x00,                                                  // rw, request
        0x05, 0x10, 0x21, 0x02, 0x01, 0x01, 0x53, 0x03,                          // target
        0x7F, 0x00, 0x00, 0x01, 0x01, 0x01, 0xFF, 0xFF,                          // source
        0x03, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                          // group, offset
        0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,                          // 4, 2
        0x41, 0x42}},
  };
}

TEST(Frame, GoldenRequestsAreEncodedAndDecodedByteForByte) {
  for (const GoldenRequest& g : GoldenRequests()) {
    SCOPED_TRACE(g.what);
    std::vector<uint8_t> encoded;
    EncodeRequest(encoded, g.invokeId, g.request);
    EXPECT_EQ(encoded, g.frame);

    Header h;
    OxaRequest r;
    const Scan s = ScanRequest(g.frame, h, r);
    ASSERT_EQ(s.status, Scan::Complete) << ToString(s.error);
    EXPECT_EQ(s.size, g.frame.size());
    EXPECT_EQ(h.invokeId, g.invokeId);
    EXPECT_EQ(h.command, g.request.command);
    EXPECT_EQ(h.flags, kFlagRequest);
    EXPECT_EQ(r.target, g.request.target);
    EXPECT_EQ(r.source, g.request.source);
    EXPECT_EQ(r.command, g.request.command);
    EXPECT_EQ(r.indexGroup, g.request.indexGroup);
    EXPECT_EQ(r.indexOffset, g.request.indexOffset);
    EXPECT_EQ(r.readLength, g.request.readLength);
    EXPECT_EQ(std::vector<uint8_t>(r.writeData.begin(), r.writeData.end()),
              std::vector<uint8_t>(g.request.writeData.begin(), g.request.writeData.end()));
  }
}

TEST(Frame, GoldenAnswersAreEncodedAndDecodedByteForByte) {
  const struct {
    const char* what;
    uint32_t invokeId;
    Command command;
    int32_t result;
    std::vector<uint8_t> data;
    std::vector<uint8_t> frame;
  } cases[] = {
      {"read with data",
       0x11223344,
       Command::Read,
       0,
       {0x01, 0x02, 0x03},
       {0x4F, 0x58, 0x41, 0x01, 0x0B, 0x00, 0x00, 0x00, 0x44, 0x33, 0x22, 0x11,  // magic, 11, id
        0x01, 0x00, 0x01, 0x00,                                                  // read, answer
        0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03}},
      {"failed write", 2, Command::Write, 0x705, {}, {0x4F, 0x58, 0x41, 0x01, 0x08, 0x00, 0x00,
                                                      0x00, 0x02, 0x00, 0x00, 0x00,  // magic, 8, id
                                                      0x02, 0x00, 0x01, 0x00,  // write, answer
                                                      0x05, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0x00}},
      {"negative result", 9, Command::Read, -1, {}, {0x4F, 0x58, 0x41, 0x01, 0x08, 0x00, 0x00,
                                                     0x00, 0x09, 0x00, 0x00, 0x00,  // magic, 8, id
                                                     0x01, 0x00, 0x01, 0x00,        // read, answer
                                                     0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00,
                                                     0x00}},
      {"read-write handle",
       0xA0B0C0D0,
       Command::ReadWrite,
       0,
       {0x78, 0x56, 0x34, 0x12},
       {0x4F, 0x58, 0x41, 0x01, 0x0C, 0x00, 0x00, 0x00, 0xD0, 0xC0, 0xB0, 0xA0,  // magic, 12, id
        0x03, 0x00, 0x01, 0x00,                                                  // rw, answer
        0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> encoded;
    EncodeAnswer(encoded, c.invokeId, c.command, c.result, c.data);
    EXPECT_EQ(encoded, c.frame);

    Header h;
    Answer a;
    const Scan s = ScanAnswer(c.frame, c.invokeId, c.command, h, a);
    ASSERT_EQ(s.status, Scan::Complete) << ToString(s.error);
    EXPECT_EQ(s.size, c.frame.size());
    EXPECT_EQ(h.flags, kFlagAnswer);
    EXPECT_EQ(a.result, c.result);
    EXPECT_EQ(std::vector<uint8_t>(a.data.begin(), a.data.end()), c.data);
  }
}

}  // namespace
}  // namespace oxa::wire
