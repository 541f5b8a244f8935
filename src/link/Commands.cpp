// Commands and settings writes on the current axis. Each sends nothing while the communication
// is stopped (which also covers "no axis selected") and reports a failure without stop.
#include "link/Commands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "link/AxtuneDoc.h"
#include "model/ParamBatch.h"
#include "model/ParamDictionary.h"
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

void CAxtuneDoc::AddObserver(axlink::IDocObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}

void CAxtuneDoc::RemoveObserver(axlink::IDocObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

axlink::SendEvent CAxtuneDoc::Event(axlink::SendKind kind, uint32_t group, uint32_t offset) const {
  axlink::SendEvent e;
  e.kind = kind;
  e.addr = axisAddr;
  e.axis = nAxis;
  e.indexGroup = group;
  e.indexOffset = offset;
  e.tuning = tuningRun_;
  return e;
}

void CAxtuneDoc::ReportTuningRun(const axlink::TuningRunReport& report) {
  for (axlink::IDocObserver* o : observers_) o->TuningRun(*this, report);
}

template <class Send>
int32_t CAxtuneDoc::Notified(const axlink::SendEvent& event, Send&& send) {
  for (axlink::IDocObserver* o : observers_) o->BeforeSend(*this, event);
  const int32_t err = send();
  for (axlink::IDocObserver* o : observers_) o->AfterSend(*this, event, err);
  return err;
}

axlink::SendEvent CAxtuneDoc::CommandEvent(axlink::SendKind kind, uint32_t offset) const {
  return Event(kind, axlink::kCommandGroup + static_cast<uint32_t>(nAxis), offset);
}

int32_t CAxtuneDoc::Command(const axlink::SendEvent& event, uint32_t length, const void* data) {
  if (bCommStopped) return oxa::kOk;
  return Notified(event, [&] {
    const int32_t err =
        oxa_.OxaSyncWriteReq(&axisAddr, event.indexGroup, event.indexOffset, length, data);
    ReportOxaError(false, true, err, event.indexGroup, event.indexOffset);
    return err;
  });
}

int32_t CAxtuneDoc::SaveParams() {
  return Command(CommandEvent(axlink::SendKind::Command, axlink::kCmdSaveParams), 0, nullptr);
}
int32_t CAxtuneDoc::LoadParams() {
  return Command(CommandEvent(axlink::SendKind::Command, axlink::kCmdLoadParams), 0, nullptr);
}
int32_t CAxtuneDoc::ResetAxis() {
  return Command(CommandEvent(axlink::SendKind::Command, axlink::kCmdReset), 0, nullptr);
}
int32_t CAxtuneDoc::StopAxis() {
  return Command(CommandEvent(axlink::SendKind::Command, axlink::kCmdStop), 0, nullptr);
}
int32_t CAxtuneDoc::HomeAxis() {
  return Command(CommandEvent(axlink::SendKind::Command, axlink::kCmdHome), 0, nullptr);
}

int32_t CAxtuneDoc::SetPosition(double position) {
  if (bCommStopped) return oxa::kOk;
  const auto block = axlink::EncodeSetPosition(position);
  axlink::SendEvent event = CommandEvent(axlink::SendKind::SetPosition, axlink::kCmdSetPosition);
  event.position = position;
  const int32_t err = Command(event, static_cast<uint32_t>(block.size()), block.data());
  if (err == oxa::kOk &&
      model::ReadParamRecord(kCommonPage, CurrentLink(false), params, runtime) == oxa::kOk) {
    paramsRead = params;
  }
  return err;
}

int32_t CAxtuneDoc::Move(int32_t mode, double position, double velocity) {
  if (bCommStopped) return oxa::kOk;
  if (mode == axlink::kMoveCharacteristic) {
    // The characteristic run takes no values, and its result is never shown.
    const auto block = axlink::MoveBlock{}.Encode();
    const axlink::SendEvent event =
        CommandEvent(axlink::SendKind::Move, axlink::kCmdCharacteristicRun);
    return Notified(event, [&] {
      return oxa_.OxaSyncWriteReq(&axisAddr, event.indexGroup, event.indexOffset,
                                  static_cast<uint32_t>(block.size()), block.data());
    });
  }
  axlink::SendEvent event = CommandEvent(axlink::SendKind::Move, axlink::kCmdMove);
  event.move = axlink::MoveBlock{mode, position, velocity};
  const auto block = event.move.Encode();
  return Command(event, static_cast<uint32_t>(block.size()), block.data());
}

int32_t CAxtuneDoc::ClearMessageLog() {
  if (bCommStopped) return oxa::kOk;
  const model::AxisLink link = CurrentLink();
  return Notified(
      Event(axlink::SendKind::ClearLog, msglog::LogGroup(link), msglog::kClearLogOffset),
      [&] { return msglog::ClearControllerLog(link); });
}

int32_t CAxtuneDoc::WriteParamNo(double value, uint16_t no, axlink::ParamWriteKind kind) {
  if (bCommStopped) return oxa::kOk;
  const model::AxisLink link = CurrentLink();
  axlink::SendEvent event = Event(axlink::SendKind::ParamWrite, model::ParamGroup(link.axis), no);
  event.paramNo = no;
  event.value = value;
  event.writeKind = kind;
  return Notified(event, [&] {
    const bool byte = kind == axlink::ParamWriteKind::Byte;
    const int32_t err = byte ? model::WriteParamNoByte(link, static_cast<int32_t>(value), no)
                             : model::WriteParamNoReal(link, value, no);
    // The controller holds the value now: one byte when it went as one, a word in the field's
    // own bits (FFFFFFFF is -1 in a signed field).
    double held = value;
    if (byte) held = static_cast<double>(static_cast<int32_t>(value) & 0xFF);
    if (kind == axlink::ParamWriteKind::Word) {
      held = static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
    }
    if (err == oxa::kOk) {
      model::Set({&paramsRead, &linRead}, no, held, model::Narrowing::Exact);
    }
    return err;
  });
}

int32_t CAxtuneDoc::WriteParamNoReal(double value, uint16_t no) {
  return WriteParamNo(value, no, axlink::ParamWriteKind::Real);
}

int32_t CAxtuneDoc::WriteParamNoByte(int32_t value, uint16_t no) {
  return WriteParamNo(static_cast<double>(value), no, axlink::ParamWriteKind::Byte);
}

int32_t CAxtuneDoc::WriteParamNoUInt(uint32_t value, uint16_t no) {
  return WriteParamNo(static_cast<double>(value), no, axlink::ParamWriteKind::Word);
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
  return Notified(
      Event(axlink::SendKind::RecordWrite, model::RecordGroup(link.axis), model::kParamBlockOffset),
      [&] {
        const int32_t err = model::WriteParamRecord(link, params);
        // The controller holds now what the block carried; the rest it never received.
        if (err == oxa::kOk) model::CopyParamBlockFields(link.versions[2], params, paramsRead);
        ReportOxaError(false, true, err, model::RecordGroup(link.axis), model::kParamBlockOffset);
        return err;
      });
}

int32_t CAxtuneDoc::StartJog(int32_t jogState) {
  if (jogState == 0 || jogState < -2 || jogState > 2) return oxa::kOk;
  const double velocity = std::abs(jogState) == 2 ? params.JogFast : params.JogSlow;
  const int32_t result =
      Move(jogState < 0 ? axlink::kMoveJogNegative : axlink::kMoveJogPositive, 0.0, velocity);
  nJogState = jogState;
  return result;
}

void CAxtuneDoc::ReleaseJog() {
  if (nJogState != 0) StopAxis();
  nJogState = 0;
}
