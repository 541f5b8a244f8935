#include "log/MessageLog.h"

#include <algorithm>
#include <vector>

#include "oxa/Oxa.h"

namespace msglog {

uint32_t LogGroup(const model::AxisLink& link) {
  return kLogIndexGroup + link.axis;
}

int MessageLog::LayoutOf(const model::AxisLink& link) {
  return link.versions[3];
}

int32_t MessageLog::ReadMessageLog(const model::AxisLink& link, bool* redraw) {
  readPos_ = std::clamp(readPos_, 0, kLogLines);
  const int layout = LayoutOf(link);
  if (readPos_ == 0) return CheckNews(link, layout);
  return ReadPass(link, layout, redraw);
}

int32_t MessageLog::CheckNews(const model::AxisLink& link, int layout) {
  if (layout == 0 || layout == 1) {
    // No time stamp to compare: every check starts a pass.
    readPos_ = kLogLines;
    return oxa::kOk;
  }
  const uint32_t length = LogEntryLength(layout);
  if (length == 0 || !link.oxa) return oxa::kOk;
  std::vector<uint8_t> buf(length, 0);
  const int32_t err = link.oxa->OxaSyncReadReq(&link.addr, LogGroup(link), 1, length, buf.data());
  if (err != oxa::kOk) return err;
  LogEntry newest;
  if (DecodeLogEntry(layout, buf, newest) == oxa::kOk && newest.TimeStamp != newest_) {
    readPos_ = kLogLines;
  }
  return oxa::kOk;
}

int32_t MessageLog::ReadPass(const model::AxisLink& link, int layout, bool* redraw) {
  const uint32_t length = LogEntryLength(layout);
  std::vector<uint8_t> buf(length, 0);
  int32_t result = oxa::kOk;
  for (int32_t n = 0; n < kEntriesPerPoll; ++n) {
    std::string& line = lines_[static_cast<size_t>(readPos_)];
    line.clear();
    if (length != 0 && link.oxa) {
      std::fill(buf.begin(), buf.end(), uint8_t{0});
      result = link.oxa->OxaSyncReadReq(&link.addr, LogGroup(link), static_cast<uint32_t>(readPos_),
                                        length, buf.data());
      LogEntry entry;
      if (result == oxa::kOk && DecodeLogEntry(layout, buf, entry) == oxa::kOk) {
        if (LayoutHasTimeStamp(layout)) newest_ = entry.TimeStamp;
        line = FormatLogLine(entry, layout, zone_);
      }
    }
    if (--readPos_ == 0) {
      if (redraw) *redraw = true;
      break;
    }
  }
  return result;
}

int32_t MessageLog::RefreshMessageLog(const model::AxisLink& link, bool* redraw) {
  const int32_t err = ReadMessageLog(link, redraw);
  if (err != oxa::kOk && err != oxa::kErrNotReady && link.report) {
    link.report->ReportOxaError(true, false, err, LogGroup(link), static_cast<uint32_t>(readPos_));
  }
  return err;
}

void MessageLog::ClearLines() {
  for (auto& l : lines_) l.clear();
}

const std::string& MessageLog::Line(int32_t i) const {
  if (i < 1 || i > kLogLines) return lines_[0];
  return lines_[static_cast<size_t>(i)];
}

int32_t ClearControllerLog(const model::AxisLink& link) {
  if (!link.oxa) return oxa::kOk;
  const int32_t err =
      link.oxa->OxaSyncWriteReq(&link.addr, LogGroup(link), kClearLogOffset, 0, nullptr);
  if (err != oxa::kOk && link.report) {
    link.report->ReportOxaError(false, true, err, LogGroup(link), kClearLogOffset);
  }
  return err;
}

}  // namespace msglog
