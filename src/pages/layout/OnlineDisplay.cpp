#include "pages/layout/OnlineDisplay.h"

#include <algorithm>
#include <initializer_list>
#include <span>

#include "model/Encoders.h"
#include "oxa/Bytes.h"
#include "pages/layout/Display.h"
#include "pages/layout/Printf.h"

namespace pages::layout {
namespace {

using model::IoRecordId;
using model::WireType;

struct Name {
  int value;
  std::string_view name;
};

constexpr Name kSteps[] = {
    {0, "iCvHydStateIdle"},
    {1, "iCvHydStateCvAccP"},
    {2, "iCvHydStateCvAccM"},
    {3, "iCvHydStatePcAccP"},
    {4, "iCvHydStatePcAccM"},
    {5, "iCvHydStateConstVeloP"},
    {6, "iCvHydStateConstVeloM"},
    {7, "iCvHydStatePcDecP"},
    {8, "iCvHydStatePcDecM"},
    {9, "iCvHydStateCreepVeloP"},
    {10, "iCvHydStateCreepVeloM"},
    {11, "iCvHydStateCvDecP"},
    {12, "iCvHydStateCvDecM"},
    {13, "iCvHydStateFeedStopPos"},
    {14, "iCvHydStateFeedStopNeg"},
    {15, "iCvHydStateDoBrake"},
    {1000, "iCvHydStateCoupling"},
    {1001, "iCvHydStateCoupled"},
    {1002, "iCvHydStateExtCoupled"},
    {2000, "iCvHydStateExtGenerated"},
    {9000, "iCvHydStateEmergencyBreak"},
    {-9999, "iCvHydStateEmergencyBreak"},
    {9999, "iCvHydStateFault"},
    {-9998, "iCvHydStateFault"},
};

constexpr Name kStates[] = {
    {0, "McState_Standstill"},      {1, "McState_DiscreteMotion"},
    {2, "McState_Continousmotion"}, {3, "McState_Synchronizedmotion"},
    {4, "McState_Stopping"},        {5, "McState_Errorstop"},
    {6, "McState_Homing"},          {7, "McState_Disabled"},
};

std::string NameOf(std::span<const Name> names, int value, std::string_view undefined) {
  for (const Name& n : names) {
    if (n.value == value) return std::string(n.name);
  }
  return std::string(undefined) + Printf(" (%d)", value);
}

bool In(int v, std::initializer_list<int> set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}

// Drives with a device image of their own: the Xerbo rows, a 32-bit output.
bool DeviceDrive(int driveType) {
  return In(driveType, {4, 16, 17, 26, 27, 28, 29, 30});
}

// ---- The I/O page: which bytes of which image each row shows ----

enum class Write : uint8_t {
  Always,
  TerminalEncoder,  // empty (lamps unlit) for the encoders read through the drive device
  DeviceDrive,      // only for the drives with a device image
  TerminalDrive,    // only for the other drives
};

struct IoSource {
  ValueId id;
  IoRecordId record;
  uint16_t offset;  // lamps of a row add their index
  WireType type;
  Write write = Write::Always;
};

constexpr Write kEnc = Write::TerminalEncoder;
constexpr Write kDevDrv = Write::DeviceDrive;
constexpr Write kTermDrv = Write::TerminalDrive;
using R = IoRecordId;
using W = WireType;

constexpr IoSource kIoSources[] = {
    // Terminal layout: encoder terminal.
    {ValueId::EncCount, R::EncoderIn, 0x00, W::U16},
    {ValueId::EncLatch, R::EncoderIn, 0x02, W::U16, kEnc},
    {ValueId::EncStatus, R::EncoderIn, 0x04, W::U8, kEnc},
    {ValueId::EncPzdl, R::EncoderIn, 0x09, W::U16, kEnc},
    {ValueId::EncPzdh, R::EncoderIn, 0x0B, W::U16, kEnc},
    {ValueId::EncRegStatus, R::EncoderIn, 0x0D, W::U8, kEnc},
    {ValueId::EncDigIn, R::EncoderIn, 0x0E, W::Bool8, kEnc},
    {ValueId::EncDigCam, R::EncoderIn, 0x10, W::Bool8, kEnc},
    {ValueId::EncCtrl, R::EncoderOut, 0x00, W::U8, kEnc},
    // Terminal layout: drive terminal.
    {ValueId::DrvDacOut, R::DriveOut, 0x00, W::I16},
    {ValueId::DrvPowerOn, R::DriveOut, 0x08, W::Bool8},
    {ValueId::DrvEnable, R::DriveOut, 0x09, W::Bool8},
    {ValueId::DrvEnablePn, R::DriveOut, 0x0A, W::Bool8},
    {ValueId::DrvPowerOk, R::DriveIn, 0x00, W::Bool8},
    {ValueId::DrvEnAck, R::DriveIn, 0x01, W::Bool8, kTermDrv},
    {ValueId::DrvReady, R::DriveIn, 0x02, W::Bool8, kTermDrv},
    {ValueId::XerboDriveCtrl, R::DriveDevOut, 0x00, W::U8, kDevDrv},
    {ValueId::XerboDriveState, R::DriveDevIn, 0x10, W::U8, kDevDrv},
    {ValueId::DrvDigOutA, R::DriveOut, 0x02, W::Bool8, kTermDrv},
    {ValueId::DrvDigOutB, R::DriveOut, 0x04, W::Bool8, kTermDrv},
    {ValueId::DrvDacOutA, R::DriveOut, 0x0C, W::U16, kTermDrv},
    {ValueId::DrvDacOutB, R::DriveOut, 0x0E, W::U16, kTermDrv},
    {ValueId::DrvMovePosNeg, R::DriveOut, 0x10, W::Bool8, kTermDrv},
    {ValueId::DrvCount, R::DriveOut, 0x06, W::U16, kTermDrv},
    // Device layout: inputs.
    {ValueId::DevInCount, R::DevIn, 0x18, W::U16},
    {ValueId::DevInLatch, R::DevIn, 0x1A, W::U16},
    {ValueId::DevInStatus, R::DevIn, 0x4F, W::U8},
    {ValueId::DevInDriveError, R::DevIn, 0x08, W::I32},
    {ValueId::DevInActualPos, R::DevIn, 0x24, W::U16},
    {ValueId::DevInDriveState, R::DevIn, 0x30, W::U16},
    {ValueId::DevInPzdl, R::DevIn, 0x1C, W::U16},
    {ValueId::DevInPzdh, R::DevIn, 0x1E, W::U16},
    {ValueId::DevInRegStatus, R::DevIn, 0x50, W::U8},
    {ValueId::DevInUdiCount, R::DevIn, 0x00, W::U32},
    {ValueId::DevInTermState, R::DevIn, 0x4C, W::U8},
    {ValueId::DevInTermData, R::DevIn, 0x20, W::U16},
    {ValueId::DevInQelvarSt2, R::DevIn, 0x22, W::U16},
    {ValueId::DevInDigIn, R::DevIn, 0x58, W::Bool8},
    {ValueId::DevInDigCam, R::DevIn, 0x5A, W::Bool8},
    {ValueId::DevInPwrOkEnAck, R::DevIn, 0x60, W::Bool8},
    {ValueId::DevInDriveDevSt, R::DevIn, 0x28, W::U16},
    {ValueId::DevInDriveWcSt, R::DevIn, 0x5E, W::U8},
    {ValueId::DevInEncDevSt, R::DevIn, 0x2A, W::U16},
    {ValueId::DevInEncWcSt, R::DevIn, 0x5F, W::U8},
    {ValueId::DevInDriveBoxSt, R::DevIn, 0x2C, W::U16},
    {ValueId::DevInEncBoxSt, R::DevIn, 0x2E, W::U16},
    // Device layout: outputs.
    {ValueId::DevOutDacOut, R::DevOut, 0x10, W::I16},
    {ValueId::DevOutDigOut, R::DevOut, 0x38, W::Bool8},
    {ValueId::DevOutCount, R::DevOut, 0x12, W::U16},
    {ValueId::DevOutDacOutA, R::DevOut, 0x14, W::U16},
    {ValueId::DevOutDacOutB, R::DevOut, 0x16, W::U16},
    {ValueId::DevOutMove, R::DevOut, 0x3C, W::Bool8},
    {ValueId::DevOutPwrEna, R::DevOut, 0x40, W::Bool8},
    {ValueId::DevOutNomVelo, R::DevOut, 0x00, W::I32},
    {ValueId::DevOutDriveCtrl, R::DevOut, 0x28, W::U8},
};

// The source of an I/O row for the axis's types: the encoder count of a drive-device encoder
// comes from the drive device's input image, the output word and the power-on lamp of a drive
// with a device image from its output image (the output as 32 bits there).
std::optional<IoSource> IoSourceFor(ValueId id, const OnlineRecords& r) {
  const auto* it = std::find_if(std::begin(kIoSources), std::end(kIoSources),
                                [id](const IoSource& s) { return s.id == id; });
  if (it == std::end(kIoSources)) return std::nullopt;
  IoSource s = *it;
  if (id == ValueId::EncCount && model::IsDriveDeviceEncoder(r.encoderType)) {
    s = {id, R::DriveDevIn, 0x0C, W::U16};
  } else if (id == ValueId::DrvDacOut && DeviceDrive(r.driveType)) {
    s = {id, R::DriveDevOut, 0x08, W::I32};
  } else if (id == ValueId::DrvPowerOn && DeviceDrive(r.driveType)) {
    s = {id, R::DriveDevOut, 0x12, W::Bool8};
  }
  return s;
}

// Whether the row gets a value, an empty text, or keeps what it shows.
enum class Written : uint8_t { Value, Empty, Kept };

Written WrittenByType(const IoSource& s, const OnlineRecords& r) {
  switch (s.write) {
    case Write::Always:
      return Written::Value;
    case Write::TerminalEncoder:
      return model::IsDriveDeviceEncoder(r.encoderType) ? Written::Empty : Written::Value;
    case Write::DeviceDrive:
      return DeviceDrive(r.driveType) ? Written::Value : Written::Kept;
    case Write::TerminalDrive:
      return DeviceDrive(r.driveType) ? Written::Kept : Written::Value;
  }
  return Written::Kept;
}

// A value comes only from an image read for the current axis.
Written WrittenFor(const IoSource& s, const OnlineRecords& r) {
  const Written w = WrittenByType(s, r);
  const bool read = r.ioRead == nullptr || (*r.ioRead)[static_cast<size_t>(s.record)];
  return w == Written::Value && !read ? Written::Empty : w;
}

// The element of `type` at `offset` of an image, unsigned types unsigned; 0 outside the image.
int64_t ImageValue(std::span<const uint8_t> image, size_t offset, WireType type) {
  using oxa::bytes::At;
  switch (type) {
    case W::I16:
      return At<int16_t>(image, offset);
    case W::U16:
      return At<uint16_t>(image, offset);
    case W::I32:
      return At<int32_t>(image, offset);
    case W::U32:
      return At<uint32_t>(image, offset);
    case W::U8:
    case W::Bool8:
      return At<uint8_t>(image, offset);
    case W::F64:
      return 0;
  }
  return 0;
}

uint8_t Byte(std::span<const uint8_t> image, size_t offset) {
  return oxa::bytes::At<uint8_t>(image, offset);
}

std::string Bits8(uint8_t v) {
  std::string s(8, '0');
  for (size_t i = 0; i < 8; ++i) {
    if (v & (0x80u >> i)) s[i] = '1';
  }
  return s;
}

std::string IoText(const Control& c, const IoSource& s, const OnlineRecords& r) {
  const std::span<const uint8_t> image = model::IoBytes(r.io, s.record);
  const size_t at = s.offset;
  Fmt fmt = c.fmt;
  // A drive-device encoder's drive state comes as four bytes.
  if (c.bind.Value() == ValueId::DevInDriveState && In(r.encoderType, {7, 24})) {
    fmt = Fmt::Bytes4Hex;
  }
  switch (fmt) {
    case Fmt::Bits8:
      return Bits8(Byte(image, at));
    case Fmt::Bytes4Hex0x:
      return Printf("0x%02X 0x%02X 0x%02X 0x%02X", Byte(image, at), Byte(image, at + 1),
                    Byte(image, at + 2), Byte(image, at + 3));
    case Fmt::Bytes4Hex:
      return Printf("%02X %02X %02X %02X", Byte(image, at), Byte(image, at + 1),
                    Byte(image, at + 2), Byte(image, at + 3));
    case Fmt::Words2:
      // The word at the higher address first.
      return Printf("%5d %5d", static_cast<int>(ImageValue(image, at + 2, W::U16)),
                    static_cast<int>(ImageValue(image, at, W::U16)));
    default:
      return FormatInteger(fmt, ImageValue(image, at, s.type));
  }
}

std::optional<std::string> IoValueText(const Control& c, const OnlineRecords& r) {
  const std::optional<IoSource> s = IoSourceFor(c.bind.Value(), r);
  if (!s) return std::nullopt;
  switch (WrittenFor(*s, r)) {
    case Written::Value:
      return IoText(c, *s, r);
    case Written::Empty:
      return std::string();
    case Written::Kept:
      return std::nullopt;
  }
  return std::nullopt;
}

std::string MessageLines(const msglog::MessageLog& log) {
  std::string text = log.Line(1);
  for (int32_t i = 2; i <= kMessageBoxLines; ++i) {
    text += '\n';
    text += log.Line(i);
  }
  return text;
}

std::optional<double> RealValue(ValueId id, const model::RuntimeRecord& rt) {
  switch (id) {
    case ValueId::ActualPos:
      return rt.ActualPos;
    case ValueId::SetpointPos:
      return rt.SetpointPos;
    case ValueId::TargetPos:
      return rt.TargetPos;
    case ValueId::LatchPos:
      return rt.LatchPos + rt.LatchPosOffset;
    case ValueId::Distance:
      return rt.Distance;
    case ValueId::Lag:
      return rt.Lag;
    case ValueId::ActualVelo:
      return rt.ActualVelo;
    case ValueId::SetpointVelo:
      return rt.SetpointVeloRatio * rt.ReferenceVelo;
    case ValueId::ActualPressure:
      return rt.ActualPressure;
    case ValueId::LagController:
      return rt.LagController;
    case ValueId::Clamping:
      return rt.Clamping;
    case ValueId::Overlap:
      return rt.Overlap;
    case ValueId::Override:
      return rt.Override;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::string StepName(int step, std::string_view undefined) {
  return NameOf(kSteps, step, undefined);
}

std::string StateName(int state, std::string_view undefined) {
  return NameOf(kStates, state, undefined);
}

std::optional<std::string> OnlineText(const Control& c, const OnlineRecords& r,
                                      std::string_view undefined) {
  if (c.bind.src != Src::Value || c.kind == Kind::Lamp) return std::nullopt;
  const model::RuntimeRecord& rt = r.runtime;
  const ValueId id = c.bind.Value();
  if (std::optional<double> v = RealValue(id, rt)) return FormatReal(c.fmt, *v);
  switch (id) {
    case ValueId::ErrorCode:
      return FormatInteger(Fmt::ErrorCode, rt.ErrorCode);
    case ValueId::InitError:
      return FormatInteger(Fmt::ErrorCode, r.axisRef.InitError);
    case ValueId::InitState:
      return FormatInteger(Fmt::Int, r.axisRef.InitState);
    case ValueId::MessageLines:
      return MessageLines(r.log);
    case ValueId::Buffered:
      return FormatInteger(Fmt::Long, rt.Buffered);
    case ValueId::CurrentStep:
      return StepName(rt.CurrentStep, undefined);
    case ValueId::CurrentState:
      return StateName(r.axisRef.AxisStateCode, undefined);
    default:
      return IoValueText(c, r);
  }
}

std::optional<bool> OnlineLit(const Control& c, const OnlineRecords& r) {
  if (c.bind.src != Src::Value || c.kind != Kind::Lamp) return std::nullopt;
  const ValueId id = c.bind.Value();
  switch (id) {
    case ValueId::StateBits:
      return (r.runtime.StateBits & c.bind.bit) != 0;
    case ValueId::EnableBits:
      return (r.runtime.EnableBits & c.bind.bit) != 0;
    case ValueId::PosCams:
      return (r.runtime.PosCams & c.bind.bit) != 0;
    default:
      break;
  }
  const std::optional<IoSource> s = IoSourceFor(id, r);
  if (!s) return std::nullopt;
  switch (WrittenFor(*s, r)) {
    case Written::Value:
      // A lamp of a row of bytes carries its index.
      return Byte(model::IoBytes(r.io, s->record), size_t{s->offset} + c.bind.bit) != 0;
    case Written::Empty:
      return false;
    case Written::Kept:
      return std::nullopt;
  }
  return std::nullopt;
}

std::string EnableText(uint32_t bits, bool german) {
  std::string s;
  if (german) {
    s = (bits & 1u) ? "-R-" : "-r-";
  } else {
    s = (bits & 1u) ? "-C-" : "-c-";
  }
  s += (bits & 2u) ? "P-" : "p-";
  s += (bits & 4u) ? "N-" : "n-";
  return s;
}

std::array<std::string, kOverviewValueColumns> OverviewColumns(const model::RuntimeRecord& r,
                                                               bool current, bool german) {
  return {
      current ? "<" : " ",
      Printf("%12.6lf", r.ActualPos),
      Printf("%12.6lf", r.TargetPos),
      Printf("%12.6lf", r.Lag),
      Printf("%12.6lf", r.Distance),
      Printf("%9.3lf", r.ActualVelo),
      Printf("%9.3lf", r.SetpointVeloRatio * r.ReferenceVelo),
      Printf("0x%04X", static_cast<unsigned>(static_cast<uint32_t>(r.ErrorCode))),
      EnableText(r.EnableBits, german),
  };
}

}  // namespace pages::layout
