// Axis selection, the auxiliary names and the document reset.
#include <algorithm>
#include <string_view>

#include "link/AxtuneDoc.h"
#include "link/Login.h"
#include "model/ParamBatch.h"
#include "model/ParamLayouts.h"
#include "model/ParamRead.h"

namespace {

constexpr uint32_t kAuxNameGroup = 0x8000F300;
constexpr uint32_t kAuxNameLength = 21;  // 20 characters and the terminator
constexpr uint32_t kAuxNameStringId = 8001;

// The text up to its first zero byte, never past the buffer.
std::string_view Terminated(const char* data, size_t capacity) {
  return {data, static_cast<size_t>(std::find(data, data + capacity, '\0') - data)};
}

}  // namespace

void CAxtuneDoc::ResetDocument() {
  bCommStopped = true;
  bOverviewReadFailed = false;
  bRedrawRequested = false;
  nAxis = -1;
  axisAddr = {};
  axisName.clear();
  nJogState = 0;
  nLastPage = -1;
  nParamPage = -1;
  nTickCount = 0;
  linkVersions.lib = {};
  // Words 10 to 12 keep their values until the next login stores a new table.
  for (size_t w = 0; w < 10; ++w) linkVersions.table[w] = -1;
  messageLog.ClearLines();
  SetDefaultAuxNames();
  model::ResetRuntimeRecord(runtime);
  model::ResetParamRecordForDocument(params);
  model::ResetAxisRefRecord(axisRef);
  model::ResetLinRecord(lin);
  ClearIoRecords();
  model::ResetRuntimeRecord(listRuntime);
  model::ResetAxisRefRecord(listAxisRef);
  bListRead = false;
  listReferenceVelos_.clear();
  paramsRead = params;
  linRead = lin;
}

bool CAxtuneDoc::SelectAxis(const axlink::AxisTarget& target, int32_t page) {
  model::AxisLink link;
  link.oxa = &oxa_;
  link.addr = target.addr;
  link.axis = target.number;
  link.lib = target.versions.lib;
  link.versions = target.versions.table;
  link.report = this;

  // Read into copies: a failed selection leaves the previous axis and its records as they were.
  model::ParamRecord newParams = params;
  model::RuntimeRecord newRuntime = runtime;
  const uint32_t recordGroup = model::RecordGroup(target.number);
  const int32_t paramErr = model::ReadParamRecord(page, link, newParams, newRuntime);
  if (paramErr != oxa::kOk) {
    ReportOxaError(false, false, paramErr, recordGroup, model::kParamBlockOffset);
    return false;
  }

  std::array<char, axlink::kTextBufferSize> name{};
  const uint32_t nameGroup = axlink::kAxisNameGroup + target.number;
  const int32_t nameErr = oxa_.OxaSyncReadReq(&target.addr, nameGroup, axlink::kAxisNameOffset,
                                              static_cast<uint32_t>(name.size()), name.data());
  if (nameErr != oxa::kOk) {
    ReportOxaError(true, false, nameErr, nameGroup, axlink::kAxisNameOffset);
    return false;
  }

  name.back() = '\0';  // a name fills at most 255 bytes, whatever the controller sent
  params = newParams;
  paramsRead = params;
  linRead = lin;
  runtime = newRuntime;
  // The I/O page shows only what it reads for this axis.
  ClearIoRecords();
  axisName = std::string(Terminated(name.data(), name.size()));
  axisAddr = target.addr;
  nAxis = target.number;
  linkVersions = target.versions;
  bAxisSelected = true;
  if (bCommStopped) oxa_.OxaSyncSetTimeout(kStoppedTimeoutMs);
  bOverviewReadFailed = false;
  bCommStopped = false;
  bRedrawRequested = true;
  ui_.RequestRedisplay();
  return true;
}

void CAxtuneDoc::ClearIoRecords() {
  for (size_t i = 0; i < model::kIoRecordCount; ++i) {
    const auto bytes = model::IoBytes(io, static_cast<model::IoRecordId>(i));
    std::fill(bytes.begin(), bytes.end(), uint8_t{0});
  }
  ioRead.fill(false);
}

bool CAxtuneDoc::ReselectAxis(int32_t page) {
  if (bCommStopped || nAxis < 0) return false;
  axlink::AxisTarget current;
  current.addr = axisAddr;
  current.number = static_cast<uint16_t>(nAxis);
  current.versions = linkVersions;
  return SelectAxis(current, page);
}

void CAxtuneDoc::SetDefaultAuxNames() {
  const std::string_view format = strings_.Text(kAuxNameStringId);
  const size_t at = format.find("%d");
  for (size_t i = 0; i < auxNames.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    auxNames[i] = at == std::string_view::npos ? std::string(format) + number
                                               : std::string(format.substr(0, at)) + number +
                                                     std::string(format.substr(at + 2));
  }
}

void CAxtuneDoc::ReadAuxNames() {
  SetDefaultAuxNames();
  if (axisRef.FeatureLevel <= 2 || nAxis < 0) return;
  const uint32_t group = kAuxNameGroup + static_cast<uint32_t>(nAxis);
  for (uint32_t i = 1; i <= auxNames.size(); ++i) {
    std::array<char, kAuxNameLength> name{};
    if (oxa_.OxaSyncReadReq(&axisAddr, group, i, kAuxNameLength, name.data()) != oxa::kOk) {
      continue;  // keeps the default name
    }
    name.back() = '\0';
    auxNames[i - 1] = std::string(Terminated(name.data(), name.size()));
  }
}
