// What the document sends to the current axis, told to whoever keeps track of it: the
// commissioning journal writes it down, the trend recorder arms on a move.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "link/Commands.h"
#include "oxa/Oxa.h"

class CAxtuneDoc;

namespace axlink {

enum class SendKind : uint8_t {
  Command,      // reset, stop, home, save or load: a command without data
  Move,         // a start (mode 1), a jog (3, 4) or the characteristic run (0)
  SetPosition,  // the new actual position
  ParamWrite,   // one numbered parameter write (settings writes included)
  RecordWrite,  // the whole parameter record in the server's StParam layout
  ClearLog,     // the controller's message log cleared
};

// How a numbered write puts its value on the wire: a double, one byte, or an unsigned 32-bit
// word converted to a double (a hex word FFFFFFFF goes as 4294967295, whatever the field's
// signedness).
enum class ParamWriteKind : uint8_t { Real, Byte, Word };

struct SendEvent {
  SendKind kind = SendKind::Command;
  // Where the request goes: the server, the axis number, index group and offset (the command
  // offset, or the parameter number of a numbered write).
  oxa::OxaAddr addr;
  int32_t axis = -1;
  uint32_t indexGroup = 0;
  uint32_t indexOffset = 0;
  // Move: the block sent.
  MoveBlock move;
  // SetPosition: the position sent.
  double position = 0;
  // ParamWrite: the number and the value sent.
  uint16_t paramNo = 0;
  double value = 0;
  ParamWriteKind writeKind = ParamWriteKind::Real;
  // A request of a tuning run: the journal keeps it in the run's one entry, not in one of its own.
  bool tuning = false;
};

// One value a tuning run wrote: what the axis held before and what went out.
struct TuningWrite {
  uint16_t no = 0;
  std::string name;
  double before = 0;
  double value = 0;
};

// A tuning run as a whole, told once when it is over (after its apply, if there is one).
struct TuningRunReport {
  // The run's limits and what it measured: "windowMin", "fullVelocityOut", …
  std::vector<std::pair<std::string, double>> figures;
  std::vector<TuningWrite> writes;   // the run's own writes in order, the write-back included
  std::vector<TuningWrite> applied;  // the values applied: what the axis held, what was written
  std::string end;                   // "done", or the reason and what ended the run
  int32_t result = 0;                // the code of the first request that failed, 0 when none
};

// Observers are told of every request the document means to send, and of nothing while the
// communication is stopped. A whole-record write whose layout the library cannot encode is told
// with its result -1, though nothing went out. They run on the document's thread and must not send
// requests through the document.
class IDocObserver {
 public:
  virtual ~IDocObserver() = default;
  // Just before the request goes out. `paramsRead` and `linRead` hold the values the request
  // replaces; `params` and `lin` may already hold the values a download takes over.
  virtual void BeforeSend(const CAxtuneDoc& doc, const SendEvent& event) = 0;
  // After the request returned, with its result code (0: success).
  virtual void AfterSend(const CAxtuneDoc& doc, const SendEvent& event, int32_t result) = 0;
  // A tuning run is over; its requests came with `tuning` set.
  virtual void TuningRun(const CAxtuneDoc& /*doc*/, const TuningRunReport& /*report*/) {}
};

}  // namespace axlink
