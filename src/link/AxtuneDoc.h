// The document: the link state and the records of the current axis.
//
// It is the one place where a failed controller request reaches the user (ReportOxaError). The
// features that work on the current axis live in their own files and use the document's state:
// axis selection and the document reset (SelectAxis.cpp), the refresh tick (Refresh.cpp) and the
// commands and settings writes (Commands.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "i18n/StringTable.h"
#include "link/DocObserver.h"
#include "link/DocUi.h"
#include "link/LinkState.h"
#include "link/Select.h"
#include "log/MessageLog.h"
#include "model/AxisRef.h"
#include "model/LinRecord.h"
#include "model/Link.h"
#include "model/ParamRecord.h"
#include "model/ProcessImage.h"
#include "model/RuntimeRecord.h"
#include "oxa/Oxa.h"

class CAxtuneDoc : public model::IErrorReport, public axlink::ILoginDocument {
 public:
  // Request timeout after a stop-level error and at a selection while stopped, in ms.
  static constexpr int32_t kStoppedTimeoutMs = 1000;
  // Request timeout of the reads of a running refresh tick, in ms.
  static constexpr int32_t kRefreshTimeoutMs = 5000;
  // The tick counter saturates here.
  static constexpr int32_t kTickLimit = 20;
  static constexpr size_t kAuxNames = 20;

  CAxtuneDoc(oxa::IOxa& oxa, axlink::IDocUi& ui, i18n::StringTable& strings);

  // Shows a failed request to the user. Code 0 does nothing. With `stopOnError` the box ends with
  // the stop sentence, `bCommStopped` is set and the request timeout drops to 1000 ms before the
  // box is shown, so that nothing more is sent for the current axis while it is open.
  void ReportOxaError(bool stopOnError, bool write, int32_t errorCode, uint32_t indexGroup,
                      uint32_t indexOffset) override;

  oxa::IOxa& Oxa() { return oxa_; }
  axlink::IDocUi& Ui() { return ui_; }
  i18n::StringTable& Strings() { return strings_; }

  // Observers of what the document sends (not owned; each removes itself before it goes).
  void AddObserver(axlink::IDocObserver* observer);
  void RemoveObserver(axlink::IDocObserver* observer);
  // While on, what the document sends belongs to a tuning run (SendEvent::tuning).
  void SetTuningRun(bool on) { tuningRun_ = on; }
  // Tells the observers that a tuning run is over.
  void ReportTuningRun(const axlink::TuningRunReport& report);

  // Login and logout: the document reset.
  void ResetLink() override { ResetDocument(); }
  // Library version and record version table of the last server found at login. A selected
  // axis replaces them with those of its own server.
  void StoreLinkVersions(const model::LibVersion& lib,
                         const model::RecordVersionTable& table) override {
    linkVersions.Store(lib, table);
  }
  bool LibVersionAtLeast(uint16_t major, uint16_t minor, uint16_t build) const {
    return linkVersions.AtLeast(major, minor, build);
  }

  // ---- Axis selection and reset (SelectAxis.cpp) ----

  // Every record reset, the current axis forgotten, bCommStopped set, the jog state 0, library
  // version 0.0.0 and words 0 to 9 of the record version table unread (words 10 to 12 keep
  // their values until the next login).
  void ResetDocument();

  // Makes `target` the current axis: reads its parameter record for `page` (a failure is
  // reported without stop) and its name (a failure is reported with stop), both with the
  // library version and record version table of the axis's own server. Only when both
  // succeeded do the records, the address, the number and the versions become the document's;
  // otherwise the previous axis stays current with its records untouched. Returns success.
  bool SelectAxis(const axlink::AxisTarget& target, int32_t page);
  // SelectAxis with the current axis, unless the communication is stopped.
  bool ReselectAxis(int32_t page);

  // The twenty names of the auxiliary values: from the server when the AxisRef record says it
  // names them (FeatureLevel above 2), else (and for every failed read) "AuxData[i]".
  void ReadAuxNames();

  // ---- Refresh (Refresh.cpp) ----

  // One refresh tick for `page` (0 to 11). `list` is the overview entry the page view polls; it
  // is read only on page 1 and may be null. Returns whether the page must be redrawn.
  bool RefreshAxisData(int32_t page, const axlink::AxisTarget* list);
  // The start of a pass of the page view over the overview rows. A silent read that failed
  // skips its axis for the rest of the pass, and when its server did not answer at all (a
  // timeout, no connection) every axis of that server; the next pass tries them again.
  void BeginOverviewPass() { bOverviewReadFailed = false; }
  // The process images the I/O page reads for the current axis, in reading order: the device
  // interface records from AxisRef layout 4 on (when the AxisRef record announces them), else
  // by the encoder type of the parameter record (none for type 0).
  std::span<const model::IoRecordId> IoPageRecords() const;

  // ---- Commands and settings writes (Commands.cpp) ----
  // While bCommStopped is set each returns 0 at once and sends nothing. A failure is reported
  // without stop (direction write, the request's group and offset) and returned.

  int32_t SaveParams();
  int32_t LoadParams();
  int32_t ResetAxis();
  int32_t StopAxis();
  int32_t HomeAxis();
  // Sets the actual position; on success reads the parameter record for page 0 again, without
  // reporting a failure of that read.
  int32_t SetPosition(double position);
  // Mode 1 start to `position`, 3 jog positive, 4 jog negative: written to offset 33. Mode 0
  // starts the characteristic run with an all-zero block at 0xFFFF0003 and is never reported.
  int32_t Move(int32_t mode, double position, double velocity);
  int32_t ClearMessageLog();
  int32_t WriteParamNoReal(double value, uint16_t no);
  int32_t WriteParamNoByte(int32_t value, uint16_t no);
  int32_t WriteParamNoUInt(uint32_t value, uint16_t no);
  // Menu settings: log level 0 to 3 (1005, as a double), latch (1113) and reference flag (1116)
  // as one byte.
  int32_t SetLogLevel(uint32_t level);
  int32_t SetLatch(bool enable);
  int32_t SetReferenceFlag(bool set);
  // The whole parameter record in the StParam layout of the current axis's server.
  int32_t WriteParamRecordToAxis();

  // Jogging by function key: -2 fast negative (F1), -1 slow negative (F2), 1 slow positive (F3),
  // 2 fast positive (F4). Sends the move (nothing while stopped) and remembers the state.
  // Returns the move's result (0 for a state outside -2 to 2, which sends nothing).
  int32_t StartJog(int32_t jogState);
  // Key release: one stop when a jog is running; the state becomes 0.
  void ReleaseJog();

  // ---- Link state, in this order ----
  // While set, no command and no cyclic read of the current axis is sent. Set at construction
  // and by a stop-level error report; cleared by a successful axis selection.
  bool bCommStopped = true;
  bool bOverviewReadFailed = false;
  bool bRedrawRequested = false;
  bool bAxisSelected = false;
  int32_t nAxis = -1;
  // Versions of the current axis's server (before a selection: of the last server of login).
  axlink::LinkVersions linkVersions;
  oxa::OxaAddr axisAddr;
  int32_t nLastPage = -1;
  int32_t nParamPage = -1;
  std::string axisName;

  // ---- Records of the current axis ----
  model::RuntimeRecord runtime;
  model::ParamRecord params;
  model::AxisRefRecord axisRef;
  model::IoRecords io;
  // Which of `io` hold the current axis's values: read (or cleared as its layout says) since the
  // axis was selected. Every selection clears the images and these.
  std::array<bool, model::kIoRecordCount> ioRead{};
  model::LinRecord lin;
  // The parameter and characteristic values as the controller last reported them: copied at every
  // read of the records and followed by every successful write. A download takes the typed values
  // over into `params` and `lin` before it writes them; these still hold what they replace.
  model::ParamRecord paramsRead;
  model::LinRecord linRead;
  msglog::MessageLog messageLog;
  std::array<std::string, kAuxNames> auxNames;
  // The overview entry last read on page 1; kept apart so that the current axis's records
  // never show another axis's values.
  model::RuntimeRecord listRuntime;
  model::AxisRefRecord listAxisRef;
  // Set by a tick on page 1 that read the list axis's records into the two above; a row whose
  // read failed or was skipped keeps what it showed.
  bool bListRead = false;

  int32_t nJogState = 0;
  // Ticks since the last page-specific read, 0 to 20.
  int32_t nTickCount = 0;

 private:
  // The current axis as the record readers reach it; `report` null for reads that stay silent.
  model::AxisLink CurrentLink(bool reported = true);
  // A command write to the current axis's command group; nothing while stopped.
  int32_t Command(const axlink::SendEvent& event, uint32_t length, const void* data);
  axlink::SendEvent CommandEvent(axlink::SendKind kind, uint32_t offset) const;
  // The event of a request to the current axis at `group` and `offset`.
  axlink::SendEvent Event(axlink::SendKind kind, uint32_t group, uint32_t offset) const;
  // Tells the observers about `event`, runs `send` and tells them its result.
  template <class Send>
  int32_t Notified(const axlink::SendEvent& event, Send&& send);
  int32_t WriteParamNo(double value, uint16_t no, axlink::ParamWriteKind kind);
  void SetDefaultAuxNames();
  bool StillRunning() const { return !bCommStopped; }
  bool OverviewReadSkipped(const axlink::AxisTarget& list) const;
  void ReadListAxisSilently(const axlink::AxisTarget& list);
  int32_t ReadListAxis(const model::AxisLink& link, const axlink::AxisTarget& list);
  void TakeListReferenceVelo(const axlink::AxisTarget& list);
  void ReadPageRecords(int32_t page, const axlink::AxisTarget* list);
  void ReadIoPage();
  void ClearIoRecords();
  void ReadLinPage(int32_t page);

  oxa::IOxa& oxa_;
  axlink::IDocUi& ui_;
  i18n::StringTable& strings_;
  std::vector<axlink::IDocObserver*> observers_;
  bool tuningRun_ = false;
  // The silent overview read that failed: the rows it holds back until the next pass.
  struct OverviewFailure {
    oxa::OxaAddr addr;
    uint16_t number = 0;
    bool wholeServer = false;
  };
  OverviewFailure overviewFailed_;
  // The ReferenceVelo of each listed axis that is read by block, read once after a login.
  struct ListReferenceVelo {
    oxa::OxaAddr addr;
    uint16_t number = 0;
    double velo = 0;
  };
  std::vector<ListReferenceVelo> listReferenceVelos_;
};
