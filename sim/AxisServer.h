// The Valdor axis server of the emulator and its axes.
//
// What every server answers on its Oxa port:
//   0xFFFFFFFF        read, offset 0: identification text (256 bytes); 1 major, 2 minor, 3 build,
//                     4 axis count, 5 first axis number (2 bytes each). Offset 5 fails with 0x703
//                     on a server that does not report a first axis number (its axes start at 1).
//   0x8000F100        read of 2 bytes: the layout version of one record; offsets 0 to 4 are words
//                     0 to 4, offsets 16 to 23 words 5 to 12. A word the library does not report
//                     fails with 0x703.
//   0x80004000 + n    read, offset 2: the name of axis n (256 bytes, zero-terminated).
// An axis number without an axis fails with 0x702 (invalid index group), an unknown offset with
// 0x703, a write to any of these with 0x701.
//
// Later features (records, parameters, commands, message log) add their index groups with
// AddGroup (server-wide) or AddAxisGroup (group base + n for every axis n); they switch their
// behaviour by Lib() and answer records in the layouts RecordVersion() names.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/Link.h"
#include "sim/Controller.h"
#include "sim/Extensions.h"

namespace sim {

inline constexpr uint32_t kGroupIdentification = 0xFFFFFFFF;
inline constexpr uint32_t kGroupRecordVersions = 0x8000F100;
inline constexpr uint32_t kGroupAxisName = 0x80004000;
inline constexpr uint32_t kOffsetAxisName = 2;
inline constexpr uint32_t kTextCapacity = 256;
inline constexpr size_t kRecordVersionWords = 13;
// Axis numbers stay below 0x100 so that 0x8000F000 + n never reaches 0x8000F100.
inline constexpr uint16_t kMaxAxisNumber = 255;

// The index offset in group 0x8000F100 of each word of the record version table.
inline constexpr std::array<uint32_t, kRecordVersionWords> kRecordVersionOffsets{
    0, 1, 2, 3, 4, 16, 17, 18, 19, 20, 21, 22, 23};

struct AxisServerConfig {
  uint16_t port = 0;
  std::string ident = "Valdor OxaServer";  // single-byte text, at most 255 bytes
  model::LibVersion lib;
  std::vector<std::string> axisNames;  // axes first, first + 1, ...; single-byte, <= 255 bytes
  std::optional<uint16_t> firstAxis;   // none: offset 5 is not answered and axes start at 1
  std::optional<uint16_t> axisCount;   // the count reported; none: the number of names
  std::array<std::optional<int16_t>, kRecordVersionWords> recordVersions{};  // none: not answered
};

class AxisServer;

class SimAxis {
 public:
  SimAxis(AxisServer& server, uint16_t number, std::string name)
      : server_(server), number_(number), name_(std::move(name)) {}
  SimAxis(const SimAxis&) = delete;
  SimAxis& operator=(const SimAxis&) = delete;

  AxisServer& Server() const { return server_; }
  uint16_t Number() const { return number_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // State of later features (parameters, runtime data, message log ...).
  Extensions& Ext() { return ext_; }

 private:
  AxisServer& server_;
  uint16_t number_;
  std::string name_;
  Extensions ext_;
};

// Answers one request for one axis.
using AxisHandler = std::function<oxa::OxaReplyInfo(SimAxis& axis, const oxa::OxaRequest& request,
                                                    std::span<uint8_t> readData)>;

class AxisServer {
 public:
  // Registers the server's groups on its port. Null, with `error` set, for an invalid
  // configuration or when the port already serves one of its groups.
  static std::unique_ptr<AxisServer> Create(Controller& controller, AxisServerConfig config,
                                            std::string& error);
  AxisServer(const AxisServer&) = delete;
  AxisServer& operator=(const AxisServer&) = delete;

  Controller& Ctrl() const { return controller_; }
  uint16_t Port() const { return config_.port; }
  const std::string& Ident() const { return config_.ident; }
  const model::LibVersion& Lib() const { return config_.lib; }
  bool LibAtLeast(uint16_t major, uint16_t minor, uint16_t build) const {
    return model::LibVersionAtLeast(config_.lib, major, minor, build);
  }
  // The layout version the server reports for one word of the table, none when it does not.
  std::optional<int16_t> RecordVersion(size_t word) const {
    return word < kRecordVersionWords ? config_.recordVersions[word] : std::nullopt;
  }
  uint16_t FirstAxisNumber() const { return config_.firstAxis.value_or(1); }
  const std::vector<std::unique_ptr<SimAxis>>& Axes() const { return axes_; }
  SimAxis* Axis(uint16_t number) const;

  // Serves one server-wide index group with answers of at most `longestAnswer` bytes. False
  // when the port already serves it.
  bool AddGroup(uint32_t indexGroup, uint32_t longestAnswer, Handler handler);
  // Serves group base + n of every axis n, at one index offset or (without offset) at every
  // offset that no other handler of that base claims, with answers of at most `longestAnswer`
  // bytes. False when the offset is already claimed or the groups collide with others on the
  // port.
  bool AddAxisGroup(uint32_t base, std::optional<uint32_t> indexOffset, uint32_t longestAnswer,
                    AxisHandler handler);

  // Called with the axis before any request for it is answered (the motion model catches up
  // with the clock there), in the order added.
  void AddBeforeAxisRequest(std::function<void(SimAxis& axis)> hook) {
    if (hook) beforeAxisRequest_.push_back(std::move(hook));
  }

  // State of later features kept per server.
  Extensions& Ext() { return ext_; }

 private:
  AxisServer(Controller& controller, AxisServerConfig config)
      : controller_(controller), config_(std::move(config)) {}

  struct AxisGroup {
    std::map<uint32_t, AxisHandler> byOffset;
    AxisHandler anyOffset;
  };
  oxa::OxaReplyInfo DispatchAxis(uint32_t base, const oxa::OxaRequest& request,
                                 std::span<uint8_t> readData);
  oxa::OxaReplyInfo Identification(const oxa::OxaRequest& request, std::span<uint8_t> out) const;
  oxa::OxaReplyInfo RecordVersions(const oxa::OxaRequest& request, std::span<uint8_t> out) const;

  Controller& controller_;
  AxisServerConfig config_;
  std::vector<std::unique_ptr<SimAxis>> axes_;
  std::map<uint32_t, AxisGroup> axisGroups_;  // by base
  std::vector<std::function<void(SimAxis&)>> beforeAxisRequest_;
  Extensions ext_;
};

}  // namespace sim
