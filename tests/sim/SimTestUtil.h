// Requests straight into an emulated controller, as the transport would hand them over.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "oxa/Bytes.h"
#include "sim/Controller.h"

namespace simtest {

inline const oxa::NetId kNetId{{127, 0, 0, 1, 1, 1}};

struct Answer {
  oxa::OxaReplyInfo info;
  std::vector<uint8_t> data;  // the bytes the reply carries

  int32_t result() const { return info.result; }
  template <class T>
  T As() const {
    return oxa::bytes::At<T>(data, 0);
  }
  std::string Text() const {
    std::string s(data.begin(), data.end());
    return s.substr(0, s.find('\0'));
  }
};

inline Answer Send(sim::Controller& c, oxa::Command cmd, uint16_t port, uint32_t group,
                   uint32_t offset, uint32_t readLength, std::span<const uint8_t> write = {},
                   const oxa::NetId& target = kNetId) {
  oxa::OxaRequest r;
  r.target = {target, port};
  r.source = {oxa::NetId{{10, 0, 0, 7, 1, 1}}, 32905};
  r.command = cmd;
  r.indexGroup = group;
  r.indexOffset = offset;
  r.readLength = readLength;
  r.writeData = write;
  std::vector<uint8_t> buf(readLength, 0xCD);
  Answer a;
  a.info = oxa::Finish(c.Handle(r, buf));
  if (a.info.dataLength > buf.size()) {
    ADD_FAILURE() << "reply longer than the read buffer";
    a.info.dataLength = static_cast<uint32_t>(buf.size());
  }
  a.data.assign(buf.begin(), buf.begin() + a.info.dataLength);
  return a;
}

inline Answer Read(sim::Controller& c, uint16_t port, uint32_t group, uint32_t offset,
                   uint32_t length) {
  return Send(c, oxa::Command::Read, port, group, offset, length);
}

inline Answer Write(sim::Controller& c, uint16_t port, uint32_t group, uint32_t offset,
                    std::span<const uint8_t> data) {
  return Send(c, oxa::Command::Write, port, group, offset, 0, data);
}

inline std::span<const uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace simtest
