#include "sim/MessageLog.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

#include "log/LogEntry.h"
#include "oxa/Bytes.h"
#include "sim/ParamFile.h"
#include "sim/ParamStore.h"
#include "sim/Reply.h"

namespace sim {

namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
// 100 ns units from 1601-01-01 to 1970-01-01.
constexpr uint64_t kUnixEpochFileTime = 116'444'736'000'000'000ull;
constexpr size_t kLogText = msglog::kTextCapacity;

constexpr uint32_t kLongestLogEntry =
    std::max_element(msglog::kEntryLayouts.begin(), msglog::kEntryLayouts.end(),
                     [](const msglog::EntryLayout& x, const msglog::EntryLayout& y) {
                       return x.length < y.length;
                     })
        ->length;

template <class T>
void PutAt(std::span<uint8_t> out, int offset, T value) {
  if (offset >= 0) oxa::bytes::Put(out, static_cast<size_t>(offset), value);
}

void PutText(std::span<uint8_t> out, int offset, std::string_view text) {
  const size_t n = std::min(text.size(), kLogText - 1);
  std::memcpy(out.data() + offset, text.data(), n);  // the rest of the field is already zero
}

// What the axis server logs while it starts up and the plant is commissioned.
void Seed(AxisLog& log, const SimAxis& axis, uint64_t now) {
  const std::string file = DefaultFileName(axis.Server().Port(), axis.Number());
  const std::vector<LogMessage> startUp = {
      {0, LogClass::Activity, 100, "Axis server started", 0, 0, 0.0, ""},
      {0, LogClass::Activity, 101, "Axis '%s' created", 3, 0, 0.0, axis.Name()},
      {0, LogClass::Activity, 102, "Parameter file %s loaded", 3, 0, 0.0, file},
      {0, LogClass::Activity, 103, "Encoder type %d selected", 1, 7, 0.0, ""},
      {0, LogClass::Activity, 104, "Drive type %d selected", 1, 2, 0.0, ""},
      {0, LogClass::Activity, 105, "Valve overlap %.2f %%", 2, 0, 3.5, ""},
      {0, LogClass::Activity, 106, "Cycle time %.1f ms", 2, 0, 2.0, ""},
      {0, LogClass::Warning, 200, "Supply pressure low: %.1f bar", 2, 0, 85.3, ""},
      {0, LogClass::Activity, 107, "Supply pressure %.1f bar", 2, 0, 160.0, ""},
      {0, LogClass::Activity, 108, "Power on", 0, 0, 0.0, ""},
      {0, LogClass::Activity, 109, "Control enable set", 0, 0, 0.0, ""},
      {0, LogClass::Activity, 110, "Homing started, mode %d", 1, 3, 0.0, ""},
      {0, LogClass::Activity, 111, "Reference cam reached at %.3f mm", 2, 0, 12.345, ""},
      {0, LogClass::Activity, 112, "Axis homed", 0, 0, 0.0, ""},
      {0, LogClass::Activity, 113, "Jog positive at %.1f mm/s", 2, 0, 25.0, ""},
      {0, LogClass::Activity, 114, "Stop", 0, 0, 0.0, ""},
      {0, LogClass::Activity, 115, "Start to %.3f mm", 2, 0, 250.0, ""},
      {0, LogClass::Warning, 201, "Following error %.3f mm above warning limit", 2, 0, 0.812, ""},
      {0, LogClass::Activity, 116, "Target position reached", 0, 0, 0.0, ""},
      {0, LogClass::Activity, 115, "Start to %.3f mm", 2, 0, 1005.2, ""},
      {0, LogClass::Error, 300, "Position limit exceeded: %.3f mm", 2, 0, 1000.4, ""},
      {0, LogClass::Error, 301, "Axis error 0x%04X", 1, 0x4402, 0.0, ""},
      {0, LogClass::Activity, 117, "Reset", 0, 0, 0.0, ""},
      {0, LogClass::Activity, 118, "Log level %d", 1, 3, 0.0, ""},
      {0, LogClass::Activity, 119, "Axis ready", 0, 0, 0.0, ""},
  };
  // Seven seconds apart, the last one a minute before now.
  const uint64_t span = (60 + 7 * startUp.size()) * kTicksPerSecond;
  uint64_t stamp = now > span ? now - span : 0;
  for (LogMessage m : startUp) {
    stamp += 7 * kTicksPerSecond;
    m.timeStamp = stamp;
    log.AddMessage(std::move(m));
  }
}

}  // namespace

uint64_t SystemFileTime() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks =
      std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>>(
          sinceEpoch)
          .count();
  return kUnixEpochFileTime + static_cast<uint64_t>(std::max<int64_t>(ticks, 0));
}

void AxisLog::AddMessage(LogMessage m) {
  Level level;
  {
    std::lock_guard lock(mutex_);
    level = level_;
  }
  // Asked outside the lock: the level comes from other state of the axis.
  if (level && static_cast<int>(m.cls) > level()) return;
  AddStartUp(std::move(m));
}

void AxisLog::AddStartUp(LogMessage m) {
  std::lock_guard lock(mutex_);
  if (m.timeStamp == 0) m.timeStamp = clock_();
  m.timeStamp = std::max(m.timeStamp, lastStamp_ + 1);
  lastStamp_ = m.timeStamp;
  messages_.push_front(std::move(m));
  if (messages_.size() > kLogCapacity) messages_.pop_back();
}

void AxisLog::Add(LogClass cls, std::string_view text, int32_t code) {
  AddMessage({0, cls, code, std::string(text), 0, 0, 0.0, ""});
}

void AxisLog::AddInt(LogClass cls, std::string_view format, int32_t value, int32_t code) {
  AddMessage({0, cls, code, std::string(format), 1, value, 0.0, ""});
}

void AxisLog::AddReal(LogClass cls, std::string_view format, double value, int32_t code) {
  AddMessage({0, cls, code, std::string(format), 2, 0, value, ""});
}

void AxisLog::AddText(LogClass cls, std::string_view format, std::string_view value, int32_t code) {
  AddMessage({0, cls, code, std::string(format), 3, 0, 0.0, std::string(value)});
}

void AxisLog::Clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
}

void AxisLog::SetReady(bool ready) {
  std::lock_guard lock(mutex_);
  ready_ = ready;
}

void AxisLog::SetLevel(Level level) {
  std::lock_guard lock(mutex_);
  level_ = std::move(level);
}

size_t AxisLog::Size() const {
  std::lock_guard lock(mutex_);
  return messages_.size();
}

bool AxisLog::At(size_t offset, LogMessage& out) const {
  std::lock_guard lock(mutex_);
  if (offset < 1 || offset > messages_.size()) return false;
  out = messages_[offset - 1];
  return true;
}

oxa::OxaReplyInfo AxisLog::Serve(int layout, const oxa::OxaRequest& request,
                                 std::span<uint8_t> out) {
  std::lock_guard lock(mutex_);
  if (!ready_) return Fail(oxa::kErrNotReady);
  switch (request.command) {
    case oxa::Command::Write:
      if (request.indexOffset != kOffsetClearLog) return Fail(oxa::kErrInvalidIndexOffset);
      if (!request.writeData.empty()) return Fail(oxa::kErrInvalidSize);
      messages_.clear();
      return Done();
    case oxa::Command::Read: {
      const uint32_t length = LogEntryWireLength(layout);
      if (length == 0 || request.indexOffset < 1 || request.indexOffset > kLogCapacity) {
        return Fail(oxa::kErrInvalidIndexOffset);
      }
      if (request.readLength != length || out.size() < length) return Fail(oxa::kErrInvalidSize);
      LogMessage empty;
      empty.cls = LogClass{0};
      const LogMessage& m =
          request.indexOffset <= messages_.size() ? messages_[request.indexOffset - 1] : empty;
      EncodeLogMessage(layout, m, out);
      return Done(length);
    }
    case oxa::Command::ReadWrite:
      break;
  }
  return Fail(oxa::kErrServiceNotSupported);
}

uint32_t LogEntryWireLength(int layout) {
  return msglog::LogEntryLength(layout);
}

bool EncodeLogMessage(int layout, const LogMessage& m, std::span<uint8_t> out) {
  const msglog::EntryLayout* w = msglog::FindEntryLayout(layout);
  if (!w || out.size() < w->length) return false;
  std::fill(out.begin(), out.begin() + w->length, uint8_t{0});
  PutAt(out, w->timeStamp, m.timeStamp);
  PutAt(out, w->msgClass, static_cast<int32_t>(m.cls));
  PutAt(out, w->msgClass2, m.code);
  PutAt(out, w->argType, m.argType);
  PutAt(out, w->intArg, m.intArg);
  PutAt(out, w->realArg, m.realArg);
  PutText(out, w->formatText, m.format);
  PutText(out, w->textArg, m.textArg);
  return true;
}

bool InstallMessageLog(AxisServer& server, AxisLog::Clock clock) {
  const uint64_t now = clock();
  for (const auto& axis : server.Axes()) {
    AxisLog& log = axis->Ext().Emplace<AxisLog>(clock);
    Seed(log, *axis, now);
    SimAxis* a = axis.get();
    log.SetLevel([a] {
      double v = 3;
      if (const ParamStore* p = ParamsOf(*a)) p->Extra(kParamLogLevel, v);
      // The value travels as a double: anything odd counts as the nearest level.
      return v >= 3 ? 3 : v >= 2 ? 2 : v >= 1 ? 1 : 0;
    });
  }
  return server.AddAxisGroup(
      kGroupMessageLog, std::nullopt, kLongestLogEntry,
      [](SimAxis& axis, const oxa::OxaRequest& request, std::span<uint8_t> out) {
        AxisLog* log = LogOf(axis);
        if (!log) return Fail(oxa::kErrInvalidIndexGroup);
        // A server that does not report its log layout uses layout 1.
        const int layout = axis.Server().RecordVersion(3).value_or(1);
        return log->Serve(layout, request, out);
      });
}

AxisLog* LogOf(SimAxis& axis) {
  return axis.Ext().Find<AxisLog>();
}

ServerFeature MessageLogFeature() {
  return {"message log", {}, {}, [](AxisServer& server, const nlohmann::json&, std::string& error) {
            if (InstallMessageLog(server)) return true;
            error = "the message log group is already served";
            return false;
          }};
}

}  // namespace sim
