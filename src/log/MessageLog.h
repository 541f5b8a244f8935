// The controller message log of the current axis, as the document keeps it.
//
// While the Common page is shown, every refresh tick polls the axis server's log buffer
// (index group 0x8000F200 + n, the entry number as index offset: 1 the newest, 20 the oldest
// read). A poll with no pass running checks for news; a pass reads the twenty entries from the
// oldest to the newest, five per poll, and turns each into one text line.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "log/LogText.h"
#include "model/Link.h"

namespace msglog {

inline constexpr uint32_t kLogIndexGroup = 0x8000F200;
inline constexpr int32_t kLogLines = 20;
inline constexpr int32_t kEntriesPerPoll = 5;
// Index offset of the clear command (a write without data).
inline constexpr uint32_t kClearLogOffset = 1;

// The log's index group for link's axis.
uint32_t LogGroup(const model::AxisLink& link);

class MessageLog {
 public:
  // `zone` converts time stamps to local time; empty means universal time.
  explicit MessageLog(UtcOffset zone = SystemUtcOffset) : zone_(std::move(zone)) {}

  // One poll of the log of `link`'s axis in the layout of word 3 of its record version table.
  // Sets `*redraw` (when not null) once a pass has read all twenty lines. Returns the error of
  // a failed news check, else the result of the last entry read of this call (0 if none).
  int32_t ReadMessageLog(const model::AxisLink& link, bool* redraw);

  // The poll as the refresh tick runs it: a failure is reported with stop through `link.report`
  // (index group 0x8000F200 + n, the read position as offset), except 0x707, which only means
  // that the log is not ready yet. Returns the poll's result.
  int32_t RefreshMessageLog(const model::AxisLink& link, bool* redraw);

  // Empties the twenty lines (document reset); the read position and the stored time stamp
  // stay, so a pass in progress goes on.
  void ClearLines();

  // Line i (1 to 20) holds the entry at offset i, line 1 the newest; empty outside 1 to 20.
  const std::string& Line(int32_t i) const;
  // Entry offset to read next, 0 when no pass is running.
  int32_t ReadPosition() const { return readPos_; }
  // Time stamp of the newest entry read (file time).
  uint64_t NewestTimeStamp() const { return newest_; }

 private:
  static int LayoutOf(const model::AxisLink& link);
  int32_t CheckNews(const model::AxisLink& link, int layout);
  int32_t ReadPass(const model::AxisLink& link, int layout, bool* redraw);

  UtcOffset zone_;
  int32_t readPos_ = 0;
  uint64_t newest_ = 0;
  std::array<std::string, kLogLines + 1> lines_;  // [0] unused, always empty
};

// The "Clear LogBuffer" command: a write without data to index offset 1 of the log group of
// `link`'s axis. A failure is reported without stop (direction write) and returned.
int32_t ClearControllerLog(const model::AxisLink& link);

}  // namespace msglog
