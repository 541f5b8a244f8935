// What the online pages show: the runtime values, names and lamps of the Common and Online
// pages, the rows of the I/O page from the process images, and the columns of the overview list.
// Every value comes from a controller, so any number prints whole and every byte is read inside
// its image.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "log/MessageLog.h"
#include "model/AxisRef.h"
#include "model/ProcessImage.h"
#include "model/RuntimeRecord.h"
#include "pages/layout/Control.h"

namespace pages::layout {

// The message box shows lines 1 to 19 of the twenty the log keeps.
inline constexpr int32_t kMessageBoxLines = 19;

struct OnlineRecords {
  const model::RuntimeRecord& runtime;
  const model::AxisRefRecord& axisRef;
  const model::IoRecords& io;
  const msglog::MessageLog& log;
  int16_t encoderType = 0;  // of the parameter record
  int16_t driveType = 0;
  // Which images of `io` were read for the current axis; none: all of them. A row of an image
  // that was not read shows an empty text and unlit lamps.
  const std::array<bool, model::kIoRecordCount>* ioRead = nullptr;
};

// The name of a CurrentStep ("iCvHydStateIdle" ...) or of an AxisStateCode
// ("McState_Standstill" ...); any other value is `undefined` followed by " (<value>)".
std::string StepName(int step, std::string_view undefined);
std::string StateName(int state, std::string_view undefined);

// The text of a value control of the Common, Online or I/O page. Nullopt for any other control,
// for a lamp, and for an I/O row that is written only for other drive types (it keeps its text).
// The message lines are the controller's single-byte text; every other text is UTF-8.
std::optional<std::string> OnlineText(const Control& c, const OnlineRecords& r,
                                      std::string_view undefined);

// Whether a lamp of the Online or I/O page is lit; nullopt for any other control and for a lamp
// written only for other drive types.
std::optional<bool> OnlineLit(const Control& c, const OnlineRecords& r);

// The enable column: "-C-" or "-c-" for the control enable ("-R-", "-r-" in German), then "P-"
// or "p-" and "N-" or "n-" for the feed enables.
std::string EnableText(uint32_t enableBits, bool german);

// Columns 1 to 9 of an overview row: the current-axis marker, four positions, two velocities,
// the error code and the enable column. Column 0 keeps the name that login gave the row.
inline constexpr size_t kOverviewValueColumns = 9;
std::array<std::string, kOverviewValueColumns> OverviewColumns(const model::RuntimeRecord& r,
                                                               bool current, bool german);

}  // namespace pages::layout
