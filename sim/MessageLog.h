// The message log of an emulated axis and the server's log group 0x8000F200 + n.
//
// Every axis keeps its most recent messages, the newest first, with a file-time stamp (strictly
// increasing, so that a client always sees a new newest entry). The group answers, in the entry
// layout of word 3 of the server's record version table (1 when the server does not report it):
//   read, offset 1..kLogCapacity, length of the layout: the entry, offset 1 the newest; a slot
//        that holds no message is all zero. Other offsets 0x703, other lengths 0x705; layout 0
//        (the server keeps no entries) and unknown layouts 0x703 at every offset.
//   write, offset 1, no data: clears the log. Other offsets 0x703, data 0x705.
//   any request while the log is not ready (SetReady(false)): 0x707.
// Messages arrive as the log level of the axis (parameter 1005 of its parameter store: 0 none,
// 1 errors, 2 warnings too, 3 activity too) chooses; without a parameter store all of them.
// Entry layouts (little-endian, packed; T stamp, C class, C2 second class word, F format text,
// A argument type, I integer, R real, S text argument; texts 256 bytes, zero-terminated):
//   1 (530 bytes): C@0 F@4 A@260 I@262 R@266 S@274
//   2 (538 bytes): T@0 C@8 F@12 A@268 I@270 R@274 S@282
//   3 (542 bytes): T@0 C@8 C2@12 F@16 A@272 I@274 R@278 S@286
//   4 (544 bytes): R@0 T@8 C@16 C2@20 F@24 A@280 I@284 S@288
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "model/ParamRecord.h"
#include "sim/Plant.h"

namespace sim {

inline constexpr uint32_t kGroupMessageLog = 0x8000F200;
inline constexpr uint32_t kOffsetClearLog = 1;
inline constexpr size_t kLogCapacity = 32;
inline constexpr uint16_t kParamLogLevel = model::kParamNoLogLevel;

// Message classes, in the order of the log levels that show them (1 errors, 2 warnings,
// 3 activity).
enum class LogClass : int32_t { Error = 1, Warning = 2, Activity = 3 };

struct LogMessage {
  uint64_t timeStamp = 0;  // file time, universal time
  LogClass cls = LogClass::Activity;
  int32_t code = 0;     // sent as the second class word
  std::string format;   // at most 255 bytes are sent
  int16_t argType = 0;  // 0 none, 1 integer, 2 real, 3 text
  int32_t intArg = 0;
  double realArg = 0.0;
  std::string textArg;  // at most 255 bytes are sent
};

// File time (100 ns units since 1601-01-01 UTC) of the system clock.
uint64_t SystemFileTime();

class AxisLog {
 public:
  using Clock = std::function<uint64_t()>;
  // The current log level: classes above it are not kept.
  using Level = std::function<int()>;

  explicit AxisLog(Clock clock = SystemFileTime) : clock_(std::move(clock)) {}

  // Appends a message unless its class is above the log level; a time stamp of 0 means now,
  // and a stamp is raised when needed to stay above the previous one. The oldest messages fall
  // out past kLogCapacity.
  void AddMessage(LogMessage m);
  // A message of the start-up, written before the axis's log level applies: kept whatever the
  // level.
  void AddStartUp(LogMessage m);
  void Add(LogClass cls, std::string_view text, int32_t code = 0);
  void AddInt(LogClass cls, std::string_view format, int32_t value, int32_t code = 0);
  void AddReal(LogClass cls, std::string_view format, double value, int32_t code = 0);
  void AddText(LogClass cls, std::string_view format, std::string_view value, int32_t code = 0);
  void Clear();
  void SetReady(bool ready);
  // Empty: every message is kept.
  void SetLevel(Level level);

  size_t Size() const;
  // The message at `offset` (1 the newest); false when there is none.
  bool At(size_t offset, LogMessage& out) const;

  // Answers one request of the axis's log group in entry layout `layout`.
  oxa::OxaReplyInfo Serve(int layout, const oxa::OxaRequest& request, std::span<uint8_t> out);

 private:
  Clock clock_;
  Level level_;
  mutable std::mutex mutex_;
  std::deque<LogMessage> messages_;  // front: the newest
  uint64_t lastStamp_ = 0;
  bool ready_ = true;
};

// Wire length of an entry in layout 1 to 4, 0 for any other.
uint32_t LogEntryWireLength(int layout);
// Writes `m` in `layout` into `out` (LogEntryWireLength(layout) bytes); false when it does not fit.
bool EncodeLogMessage(int layout, const LogMessage& m, std::span<uint8_t> out);

// Gives every axis of `server` a log, filled with the messages of a start-up, that follows the
// log level of the axis's parameter store, and serves the log group. False when the group is
// already served.
bool InstallMessageLog(AxisServer& server, AxisLog::Clock clock = SystemFileTime);
// The log of an axis, null when the server has none.
AxisLog* LogOf(SimAxis& axis);

// The configuration feature that installs the log on every server.
ServerFeature MessageLogFeature();

}  // namespace sim
