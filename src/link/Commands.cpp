// Commands and settings writes on the current axis. Each sends nothing while the communication
// is stopped (which also covers "no axis selected") and reports a failure without stop.
#include "link/Commands.h"

#include <cmath>
#include <cstdlib>

#include "link/AxtuneDoc.h"
#include "model/ParamBatch.h"
#include "model/ParamLayouts.h"
#include "model/ParamRead.h"
#include "model/ParamWrite.h"
#include "oxa/Bytes.h"

namespace axlink {

std::array<uint8_t, MoveBlock::kSize> MoveBlock::Encode() const {
  std::array<uint8_t, kSize> b{};
  oxa::bytes::Put<int32_t>(b, 0, mode);
  oxa::bytes::Put<double>(b, 4, position);
  oxa::bytes::Put<double>(b, 12, velocity);
  return b;
}

std::array<uint8_t, 12> EncodeSetPosition(double position) {
  std::array<uint8_t, 12> b{};
  oxa::bytes::Put<int32_t>(b, 0, 1);
  oxa::bytes::Put<double>(b, 4, position);
  return b;
}

}  // namespace axlink

namespace {

constexpr int32_t kCommonPage = 0;

}  // namespace

int32_t CAxtuneDoc::Command(uint32_t offset, uint32_t length, const void* data) {
  if (bCommStopped) return oxa::kOk;
  const uint32_t group = axlink::kCommandGroup + static_cast<uint32_t>(nAxis);
  const int32_t err = oxa_.OxaSyncWriteReq(&axisAddr, group, offset, length, data);
  ReportOxaError(false, true, err, group, offset);
  return err;
}

int32_t CAxtuneDoc::SaveParams() {
  return Command(axlink::kCmdSaveParams, 0, nullptr);
}
int32_t CAxtuneDoc::LoadParams() {
  return Command(axlink::kCmdLoadParams, 0, nullptr);
}
int32_t CAxtuneDoc::ResetAxis() {
  return Command(axlink::kCmdReset, 0, nullptr);
}
int32_t CAxtuneDoc::StopAxis() {
  return Command(axlink::kCmdStop, 0, nullptr);
}
int32_t CAxtuneDoc::HomeAxis() {
  return Command(axlink::kCmdHome, 0, nullptr);
}

int32_t CAxtuneDoc::SetPosition(double position) {
  if (bCommStopped) return oxa::kOk;
  const auto block = axlink::EncodeSetPosition(position);
  const int32_t err =
      Command(axlink::kCmdSetPosition, static_cast<uint32_t>(block.size()), block.data());
  if (err == oxa::kOk) model::ReadParamRecord(kCommonPage, CurrentLink(false), params, runtime);
  return err;
}

int32_t CAxtuneDoc::Move(int32_t mode, double position, double velocity) {
  if (bCommStopped) return oxa::kOk;
  if (mode == axlink::kMoveCharacteristic) {
    // The characteristic run takes no values, and its result is never shown.
    const auto block = axlink::MoveBlock{}.Encode();
    const uint32_t group = axlink::kCommandGroup + static_cast<uint32_t>(nAxis);
    return oxa_.OxaSyncWriteReq(&axisAddr, group, axlink::kCmdCharacteristicRun,
                                static_cast<uint32_t>(block.size()), block.data());
  }
  const auto block = axlink::MoveBlock{mode, position, velocity}.Encode();
  return Command(axlink::kCmdMove, static_cast<uint32_t>(block.size()), block.data());
}

int32_t CAxtuneDoc::ClearMessageLog() {
  if (bCommStopped) return oxa::kOk;
  return msglog::ClearControllerLog(CurrentLink());
}

int32_t CAxtuneDoc::WriteParamNoReal(double value, uint16_t no) {
  if (bCommStopped) return oxa::kOk;
  return model::WriteParamNoReal(CurrentLink(), value, no);
}

int32_t CAxtuneDoc::WriteParamNoByte(int32_t value, uint16_t no) {
  if (bCommStopped) return oxa::kOk;
  return model::WriteParamNoByte(CurrentLink(), value, no);
}

int32_t CAxtuneDoc::WriteParamNoUInt(uint32_t value, uint16_t no) {
  if (bCommStopped) return oxa::kOk;
  return model::WriteParamNoUInt(CurrentLink(), value, no);
}

int32_t CAxtuneDoc::SetLogLevel(uint32_t level) {
  return WriteParamNoUInt(level, axlink::kParamLogLevel);
}
int32_t CAxtuneDoc::SetLatch(bool enable) {
  return WriteParamNoByte(enable ? 1 : 0, axlink::kParamLatch);
}
int32_t CAxtuneDoc::SetReferenceFlag(bool set) {
  return WriteParamNoByte(set ? 1 : 0, axlink::kParamReferenceFlag);
}

int32_t CAxtuneDoc::WriteParamRecordToAxis() {
  if (bCommStopped) return oxa::kOk;
  const model::AxisLink link = CurrentLink();
  const int32_t err = model::WriteParamRecord(link, params);
  ReportOxaError(false, true, err, model::RecordGroup(link.axis), model::kParamBlockOffset);
  return err;
}

void CAxtuneDoc::StartJog(int32_t jogState) {
  if (jogState == 0 || jogState < -2 || jogState > 2) return;
  const double velocity = std::abs(jogState) == 2 ? params.JogFast : params.JogSlow;
  Move(jogState < 0 ? axlink::kMoveJogNegative : axlink::kMoveJogPositive, 0.0, velocity);
  nJogState = jogState;
}

void CAxtuneDoc::ReleaseJog() {
  if (nJogState != 0) StopAxis();
  nJogState = 0;
}
