// One entry of the commissioning journal: a request that Axtune sent to an axis, who sent it,
// where to, what it changed, and what the controller answered.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "oxa/Oxa.h"

namespace journal {

// The document operations an entry names in `op`.
inline constexpr const char* kOpWriteReal = "WriteParamNoReal";
inline constexpr const char* kOpWriteByte = "WriteParamNoByte";
inline constexpr const char* kOpWriteRecord = "WriteParamRecord";
inline constexpr const char* kOpSave = "SaveParams";
inline constexpr const char* kOpLoad = "LoadParams";
inline constexpr const char* kOpReset = "ResetAxis";
inline constexpr const char* kOpStop = "StopAxis";
inline constexpr const char* kOpHome = "HomeAxis";
inline constexpr const char* kOpSetPosition = "SetPosition";
inline constexpr const char* kOpMove = "Move";
inline constexpr const char* kOpClearLog = "ClearMessageLog";
// A tuning run as one entry: its figures in `args`, its own writes and their write-back in
// `changes`, the values applied in `applied`, how it ended in `end`.
inline constexpr const char* kOpTuningRun = "TuningRun";

// One value written: a numbered write has one, a whole-record write one per field that differs
// from what the controller last reported.
struct Change {
  uint16_t no = 0;
  std::string name;              // the field's name; empty for a number no record field carries
  std::optional<double> before;  // none: not known from the last read
  std::optional<double> value;   // the value sent; none when it was not a finite number

  friend bool operator==(const Change&, const Change&) = default;
};

struct Entry {
  std::string id;            // ties the result line to its entry
  int64_t timeMs = 0;        // UTC, milliseconds since 1970-01-01
  int32_t utcOffsetMin = 0;  // the local offset at that time, minutes east of UTC
  std::string user;
  std::string host;
  oxa::NetId netId;
  std::string route;  // the route name the user chose ("Local" for the local system)
  uint16_t port = 0;
  int32_t axis = -1;
  std::string axisName;  // UTF-8
  std::string op;        // one of the kOp names
  std::vector<Change> changes;
  // Arguments of a command: "mode", "position", "velocity"; as sent, NaN and inf included.
  std::vector<std::pair<std::string, double>> args;
  // TuningRun only: the values applied (before and after) and how the run ended.
  std::vector<Change> applied;
  std::string end;
  // The Oxa result; none when none was recorded (the program ended during the request).
  std::optional<int32_t> result;

  friend bool operator==(const Entry&, const Entry&) = default;
};

}  // namespace journal
