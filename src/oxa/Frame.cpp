#include "oxa/Frame.h"

#include "oxa/Bytes.h"

namespace oxa::wire {

namespace {

using bytes::At;
using bytes::Put;

void PutNetId(std::span<uint8_t> out, size_t offset, const NetId& id) {
  for (size_t i = 0; i < id.b.size(); ++i) out[offset + i] = id.b[i];
}

NetId GetNetId(std::span<const uint8_t> in, size_t offset) {
  NetId id;
  for (size_t i = 0; i < id.b.size(); ++i) id.b[i] = in[offset + i];
  return id;
}

std::span<uint8_t> AppendHeader(std::vector<uint8_t>& out, uint32_t bodyLength, uint32_t invokeId,
                                Command command, uint16_t flags) {
  const size_t start = out.size();
  out.resize(start + kHeaderSize + bodyLength);
  std::span<uint8_t> frame(out.data() + start, kHeaderSize + bodyLength);
  for (size_t i = 0; i < kMagic.size(); ++i) frame[i] = kMagic[i];
  Put<uint32_t>(frame, 4, bodyLength);
  Put<uint32_t>(frame, 8, invokeId);
  Put<uint16_t>(frame, 12, static_cast<uint16_t>(command));
  Put<uint16_t>(frame, 14, flags);
  return frame.subspan(kHeaderSize);
}

}  // namespace

const char* ToString(FrameError error) {
  switch (error) {
    case FrameError::None:
      return "no error";
    case FrameError::BadMagic:
      return "wrong magic";
    case FrameError::BodyTooLong:
      return "body length over the limit";
    case FrameError::BadCommand:
      return "unknown command";
    case FrameError::BadFlags:
      return "unknown flags";
    case FrameError::LengthMismatch:
      return "length fields do not add up";
    case FrameError::BadLengths:
      return "read or write length not allowed for the command";
    case FrameError::NotTheAnswer:
      return "answer does not match the request";
  }
  return "unknown frame error";
}

FrameError DecodeHeader(std::span<const uint8_t, kHeaderSize> bytes, Header& header) {
  for (size_t i = 0; i < kMagic.size(); ++i) {
    if (bytes[i] != kMagic[i]) return FrameError::BadMagic;
  }
  const std::span<const uint8_t> b(bytes);
  const uint32_t bodyLength = At<uint32_t>(b, 4);
  if (bodyLength > kMaxBody) return FrameError::BodyTooLong;
  const uint16_t command = At<uint16_t>(b, 12);
  if (command < 1 || command > 3) return FrameError::BadCommand;
  const uint16_t flags = At<uint16_t>(b, 14);
  if (flags != kFlagRequest && flags != kFlagAnswer) return FrameError::BadFlags;
  header.bodyLength = bodyLength;
  header.invokeId = At<uint32_t>(b, 8);
  header.command = static_cast<Command>(command);
  header.flags = flags;
  return FrameError::None;
}

FrameError DecodeRequestBody(Command command, std::span<const uint8_t> body, OxaRequest& request) {
  if (body.size() < kRequestFixed) return FrameError::LengthMismatch;
  const uint32_t readLength = At<uint32_t>(body, 24);
  const uint32_t writeLength = At<uint32_t>(body, 28);
  if (writeLength != body.size() - kRequestFixed) return FrameError::LengthMismatch;
  if (readLength > kMaxReadLength) return FrameError::BadLengths;
  if (command == Command::Read && writeLength != 0) return FrameError::BadLengths;
  if (command == Command::Write && readLength != 0) return FrameError::BadLengths;
  request.command = command;
  request.target.netId = GetNetId(body, 0);
  request.target.port = At<uint16_t>(body, 6);
  request.source.netId = GetNetId(body, 8);
  request.source.port = At<uint16_t>(body, 14);
  request.indexGroup = At<uint32_t>(body, 16);
  request.indexOffset = At<uint32_t>(body, 20);
  request.readLength = readLength;
  request.writeData = body.subspan(kRequestFixed, writeLength);
  return FrameError::None;
}

FrameError DecodeAnswerBody(std::span<const uint8_t> body, Answer& answer) {
  if (body.size() < kAnswerFixed) return FrameError::LengthMismatch;
  const uint32_t dataLength = At<uint32_t>(body, 4);
  if (dataLength != body.size() - kAnswerFixed) return FrameError::LengthMismatch;
  answer.result = At<int32_t>(body, 0);
  answer.data = body.subspan(kAnswerFixed, dataLength);
  return FrameError::None;
}

namespace {

// The header of a frame at the start of `stream`; NeedMore until it is there, then NeedMore
// with the frame size until the whole frame is.
Scan ScanFrame(std::span<const uint8_t> stream, Header& header) {
  if (stream.size() < kHeaderSize) return {Scan::NeedMore, kHeaderSize, FrameError::None};
  if (const FrameError e = DecodeHeader(stream.first<kHeaderSize>(), header);
      e != FrameError::None) {
    return {Scan::Bad, 0, e};
  }
  const size_t size = kHeaderSize + header.bodyLength;
  if (stream.size() < size) return {Scan::NeedMore, size, FrameError::None};
  return {Scan::Complete, size, FrameError::None};
}

}  // namespace

Scan ScanRequest(std::span<const uint8_t> stream, Header& header, OxaRequest& request) {
  Scan scan = ScanFrame(stream, header);
  if (scan.status == Scan::Bad || stream.size() < kHeaderSize) return scan;
  if (header.flags != kFlagRequest) return {Scan::Bad, 0, FrameError::BadFlags};
  if (scan.status == Scan::NeedMore) return scan;
  const FrameError e =
      DecodeRequestBody(header.command, stream.subspan(kHeaderSize, header.bodyLength), request);
  if (e != FrameError::None) return {Scan::Bad, 0, e};
  return scan;
}

Scan ScanAnswer(std::span<const uint8_t> stream, uint32_t invokeId, Command command, Header& header,
                Answer& answer) {
  Scan scan = ScanFrame(stream, header);
  if (scan.status == Scan::Bad || stream.size() < kHeaderSize) return scan;
  if (header.flags != kFlagAnswer || header.invokeId != invokeId || header.command != command) {
    return {Scan::Bad, 0, FrameError::NotTheAnswer};
  }
  if (scan.status == Scan::NeedMore) return scan;
  const FrameError e = DecodeAnswerBody(stream.subspan(kHeaderSize, header.bodyLength), answer);
  if (e != FrameError::None) return {Scan::Bad, 0, e};
  return scan;
}

void EncodeRequest(std::vector<uint8_t>& out, uint32_t invokeId, const OxaRequest& request) {
  const auto writeLength = static_cast<uint32_t>(request.writeData.size());
  std::span<uint8_t> body = AppendHeader(out, static_cast<uint32_t>(kRequestFixed) + writeLength,
                                         invokeId, request.command, kFlagRequest);
  PutNetId(body, 0, request.target.netId);
  Put<uint16_t>(body, 6, request.target.port);
  PutNetId(body, 8, request.source.netId);
  Put<uint16_t>(body, 14, request.source.port);
  Put<uint32_t>(body, 16, request.indexGroup);
  Put<uint32_t>(body, 20, request.indexOffset);
  Put<uint32_t>(body, 24, request.readLength);
  Put<uint32_t>(body, 28, writeLength);
  for (size_t i = 0; i < writeLength; ++i) body[kRequestFixed + i] = request.writeData[i];
}

void EncodeAnswer(std::vector<uint8_t>& out, uint32_t invokeId, Command command, int32_t result,
                  std::span<const uint8_t> data) {
  const auto dataLength = static_cast<uint32_t>(data.size());
  std::span<uint8_t> body = AppendHeader(out, static_cast<uint32_t>(kAnswerFixed) + dataLength,
                                         invokeId, command, kFlagAnswer);
  Put<int32_t>(body, 0, result);
  Put<uint32_t>(body, 4, dataLength);
  for (size_t i = 0; i < dataLength; ++i) body[kAnswerFixed + i] = data[i];
}

}  // namespace oxa::wire
