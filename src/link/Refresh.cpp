// The refresh tick: which records of the controller the shown page needs, read in a fixed order;
// the first failed cyclic read is reported with stop and ends the tick's reads.
#include <algorithm>
#include <array>

#include "link/AxtuneDoc.h"
#include "model/Encoders.h"
#include "model/ParamBatch.h"
#include "model/ParamRead.h"

namespace {

// Step numbers: the index offset of a tick's error report.
constexpr uint32_t kStepAxisRef = 0;
constexpr uint32_t kStepRuntime = 1;
constexpr uint32_t kStepParams = 2;
constexpr uint32_t kStepLin = 4;
// The I/O records report their index offsets as steps: 16 to 19 the four standard records, 20
// and 21 the encoder-specific ones, 22 and 23 the device interface records.

// The parameter number of ReferenceVelo.
constexpr uint16_t kReferenceVeloNo = 8;
// The LinTab page re-reads its record once the tick counter has passed this.
constexpr int32_t kLinTabTicks = 5;
// From this AxisRef layout on, the I/O page shows the device interface records.
constexpr int16_t kDevIoAxisRefLayout = 4;

// Failures that say the server as a whole does not answer, as opposed to one request refused.
bool ServerDown(int32_t err) {
  return err == oxa::kErrTimeout || err == oxa::kErrNoResponse ||
         err == oxa::kErrTargetMachineNotFound;
}

model::AxisLink LinkOf(oxa::IOxa& oxa, const axlink::AxisTarget& t, model::IErrorReport* report) {
  model::AxisLink link;
  link.oxa = &oxa;
  link.addr = t.addr;
  link.axis = t.number;
  link.lib = t.versions.lib;
  link.versions = t.versions.table;
  link.report = report;
  return link;
}

}  // namespace

bool CAxtuneDoc::RefreshAxisData(int32_t page, const axlink::AxisTarget* list) {
  nTickCount = std::min(nTickCount + 1, kTickLimit);
  bListRead = false;
  if (page == model::kPageOverview && list != nullptr && list->addr.port != 0 &&
      !OverviewReadSkipped(*list)) {
    ReadListAxisSilently(*list);
  }

  if (bCommStopped) {
    nTickCount = 0;
    nParamPage = -1;
  } else {
    oxa_.OxaSyncSetTimeout(kRefreshTimeoutMs);
    bOverviewReadFailed = false;
    const model::AxisLink link = CurrentLink();
    const uint32_t group = model::RecordGroup(link.axis);

    if (page != model::kPageOverview) {
      model::RuntimeReadNotice notice;
      const int32_t err = model::ReadRuntimeRecord(link, runtime, bCommStopped, &notice);
      if (notice.paramsChanged) {
        bRedrawRequested = true;
        nParamPage = -1;
      }
      ReportOxaError(true, false, err, group, kStepRuntime);
      if (StillRunning() && bRedrawRequested) {
        ReportOxaError(true, false, model::ReadAxisRef(link, axisRef, runtime), group,
                       kStepAxisRef);
        if (StillRunning()) ReadAuxNames();
      }
    }
    if (StillRunning() && page != nParamPage) {
      const int32_t err = model::ReadParamRecord(page, link, params, runtime);
      if (err == oxa::kOk) paramsRead = params;
      ReportOxaError(false, false, err, group, kStepParams);
      nParamPage = page;
      bRedrawRequested = true;
    }
    if (StillRunning()) ReadPageRecords(page, list);
  }

  const bool redraw = bRedrawRequested;
  nLastPage = page;
  bRedrawRequested = false;
  return redraw;
}

bool CAxtuneDoc::OverviewReadSkipped(const axlink::AxisTarget& list) const {
  return bOverviewReadFailed && list.addr == overviewFailed_.addr &&
         (overviewFailed_.wholeServer || list.number == overviewFailed_.number);
}

void CAxtuneDoc::ReadListAxisSilently(const axlink::AxisTarget& list) {
  const int32_t err = ReadListAxis(LinkOf(oxa_, list, nullptr), list);
  if (err == oxa::kOk) return;
  bOverviewReadFailed = true;
  // A server that does not answer would cost one timeout for each of its rows.
  overviewFailed_ = {list.addr, list.number, ServerDown(err)};
}

// The AxisRef and runtime records of the list axis, reported through link.report (with stop)
// when it has one; sets bListRead when both arrived. Returns the first failure's code.
int32_t CAxtuneDoc::ReadListAxis(const model::AxisLink& link, const axlink::AxisTarget& list) {
  const uint32_t group = model::RecordGroup(list.number);
  int32_t err = model::ReadAxisRef(link, listAxisRef, listRuntime);
  if (link.report != nullptr) link.report->ReportOxaError(true, false, err, group, kStepAxisRef);
  if (err != oxa::kOk) return err;
  // The list axis's own notice of changed parameters stays pending: it is acknowledged by the
  // reads of that axis once it is the current one.
  err = model::ReadRuntimeRecord(link, listRuntime, true);
  if (link.report != nullptr) link.report->ReportOxaError(true, false, err, group, kStepRuntime);
  if (err != oxa::kOk) return err;
  TakeListReferenceVelo(list);
  bListRead = true;
  return oxa::kOk;
}

// A block of StRtData carries no ReferenceVelo: the current axis has the document's, every other
// axis's is read once after a login from its parameters. The batch layouts carry it themselves.
void CAxtuneDoc::TakeListReferenceVelo(const axlink::AxisTarget& list) {
  if (model::RuntimeBlockLength(list.versions.table[1]) == 0) return;
  if (bAxisSelected && list.addr == axisAddr && list.number == nAxis) {
    listRuntime.ReferenceVelo = runtime.ReferenceVelo;
    return;
  }
  for (const ListReferenceVelo& known : listReferenceVelos_) {
    if (known.addr == list.addr && known.number == list.number) {
      listRuntime.ReferenceVelo = known.velo;
      return;
    }
  }
  const model::AxisLink link = LinkOf(oxa_, list, nullptr);
  double velo = 0;
  int32_t err = oxa::kOk;
  if (model::ChooseParamReadMethod(link.lib) == model::ParamReadMethod::Block) {
    model::ParamRecord p;
    model::RuntimeRecord unused;
    err = model::ReadParamRecord(model::kPageGlobal, link, p, unused);
    velo = p.ReferenceVelo;
  } else {
    err = model::ReadParamNoReal(link, velo, 0.0, kReferenceVeloNo);
  }
  // A failed read shows no setpoint velocity and is tried again at the row's next read.
  listRuntime.ReferenceVelo = err == oxa::kOk ? velo : 0.0;
  if (err == oxa::kOk) listReferenceVelos_.push_back({list.addr, list.number, velo});
}

void CAxtuneDoc::ReadPageRecords(int32_t page, const axlink::AxisTarget* list) {
  const model::AxisLink link = CurrentLink();
  const uint32_t group = model::RecordGroup(link.axis);
  switch (page) {
    case model::kPageCommon:
      nTickCount = 0;
      ReportOxaError(true, false, model::ReadAxisRef(link, axisRef, runtime), group, kStepAxisRef);
      if (StillRunning()) messageLog.RefreshMessageLog(link, &bRedrawRequested);
      break;
    case model::kPageOverview: {
      nTickCount = 0;
      if (list == nullptr || list->addr.port == 0) break;
      ReadListAxis(LinkOf(oxa_, *list, this), *list);
      break;
    }
    case model::kPageOnline:
      nTickCount = 0;
      ReportOxaError(true, false, model::ReadAxisRef(link, axisRef, runtime), group, kStepAxisRef);
      break;
    case model::kPageIo:
      nTickCount = 0;
      ReadIoPage();
      break;
    case model::kPageLinTab:
    case model::kPageLinDef:
      ReadLinPage(page);
      break;
    default:
      break;
  }
}

std::span<const model::IoRecordId> CAxtuneDoc::IoPageRecords() const {
  using model::IoRecordId;
  static constexpr std::array kDevIo{IoRecordId::DevIn, IoRecordId::DevOut};
  static constexpr std::array kDriveDev{IoRecordId::DriveDevIn, IoRecordId::DriveDevOut};
  static constexpr std::array kStandard{IoRecordId::EncoderIn, IoRecordId::EncoderOut,
                                        IoRecordId::DriveIn, IoRecordId::DriveOut};
  if (linkVersions.table[0] >= kDevIoAxisRefLayout) {
    if (axisRef.HasDevIo()) return kDevIo;
    return {};
  }
  if (params.EncoderType == 0) return {};
  if (model::IsDriveDeviceEncoder(params.EncoderType)) return kDriveDev;
  return kStandard;
}

void CAxtuneDoc::ReadIoPage() {
  const model::AxisLink link = CurrentLink();
  const uint32_t group = model::RecordGroup(link.axis);
  // Without terminal records the page shows a cleared encoder image.
  if (link.versions[0] < kDevIoAxisRefLayout && params.EncoderType == 0) {
    io.encoderIn.Clear();
    ioRead[static_cast<size_t>(model::IoRecordId::EncoderIn)] = true;
  }
  // Each record's step is its index offset; the reads end at the first failure.
  for (const model::IoRecordId id : IoPageRecords()) {
    if (!StillRunning()) break;
    const int32_t err = model::ReadIoRecord(link, id, io);
    bool& read = ioRead[static_cast<size_t>(id)];
    // A row that shows for the first time needs the page's visibility again.
    if (err == oxa::kOk && !read) bRedrawRequested = true;
    if (err == oxa::kOk) read = true;
    ReportOxaError(true, false, err, group, model::IoInfo(id).indexOffset);
  }
}

void CAxtuneDoc::ReadLinPage(int32_t page) {
  const bool entered = page != nLastPage;
  const bool due =
      entered || bRedrawRequested || (page == model::kPageLinTab && nTickCount > kLinTabTicks);
  if (!due) return;
  nTickCount = 0;
  if (axisRef.HasLinTab()) {
    const model::AxisLink link = CurrentLink();
    const int32_t err = model::ReadLinTab(link, lin);
    if (err == oxa::kOk) linRead = lin;
    ReportOxaError(true, false, err, model::RecordGroup(link.axis), kStepLin);
  }
  bRedrawRequested = true;
}
