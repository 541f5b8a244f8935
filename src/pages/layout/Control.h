// One control of the page view as data: its kind, its place in design units, the text it
// carries, what it shows and in which format, and when it is visible. The page tables
// (PageTables.h) list every control of every page in these terms; the Qt builder turns each
// entry into a widget and the display, visibility and text updates walk the same entries.
#pragma once

#include <cstdint>
#include <string_view>

namespace pages::layout {

enum class Kind : uint8_t {
  Text,          // static text, left-aligned
  MessageBox,    // static text with a border (the Common page's message lines)
  Edit,          // framed, right-aligned, editable
  ReadOnly,      // framed, read-only, right-aligned
  ReadOnlyLeft,  // framed, read-only, left-aligned
  Combo,         // drop-down list with an edit part, sorted
  Check,         // check box the user ticks
  Lamp,          // check box used as an indicator: a click does not toggle it
  Button,        // push button with a command ID
  ValueButton,   // push button that carries a key code (the jog buttons)
  List,          // the overview list
};

enum class FontKind : uint8_t { Page, Small, List };

// Where the shown value comes from.
enum class Src : uint8_t {
  None,
  Param,     // ParamRecord field by ParamNo; AuxData[i] as 2001 + i; `bit` for JerkEnabled
  Lin,       // LinRecord field by its number 3000 to 3158
  TypeName,  // the name of the type field with that ParamNo (1000, 1100, 1101, 1300)
  AuxName,   // the document's auxiliary name `no` (0 to 19)
  Value,     // a value of the frame, the Common, Online, Encoder or I/O page (ValueId)
};

// Values that are not parameter record fields. Lamps of a bit word carry the bit mask in
// `Bind::bit`; lamps of a row of several bytes carry the byte's index in `Bind::bit`.
enum class ValueId : uint16_t {
  None,
  // Frame rows.
  AxisName,
  Destination,
  Velocity,
  OverviewList,
  // Common page (runtime record and axis reference record).
  ErrorCode,
  InitError,
  InitState,
  MessageLines,
  // Online page.
  ActualPos,
  SetpointPos,
  TargetPos,
  LatchPos,  // LatchPos + LatchPosOffset
  Distance,
  Lag,
  ActualVelo,
  SetpointVelo,  // SetpointVeloRatio * ReferenceVelo
  CurrentStep,
  CurrentState,  // AxisStateCode of the axis reference record
  ActualPressure,
  LagController,
  Clamping,
  Overlap,
  Override,
  Buffered,
  StateBits,
  EnableBits,
  PosCams,
  // Encoder page.
  EncoderInfo1,
  EncoderInfo2,
  // I/O page, terminal layout.
  EncCount,
  EncLatch,
  EncStatus,
  EncPzdl,
  EncPzdh,
  EncRegStatus,
  EncDigIn,
  EncDigCam,
  EncCtrl,
  DrvDacOut,
  DrvPowerOn,
  DrvEnable,
  DrvEnablePn,
  DrvPowerOk,
  DrvEnAck,
  DrvReady,
  XerboDriveCtrl,
  XerboDriveState,
  DrvDigOutA,
  DrvDigOutB,
  DrvDacOutA,
  DrvDacOutB,
  DrvMovePosNeg,
  DrvCount,
  // I/O page, device layout.
  DevInCount,
  DevInLatch,
  DevInStatus,
  DevInPzdl,
  DevInPzdh,
  DevInRegStatus,
  DevInUdiCount,
  DevInTermState,
  DevInTermData,
  DevInQelvarSt2,
  DevInDigIn,
  DevInDigCam,
  DevInPwrOkEnAck,
  DevInDriveError,
  DevInActualPos,
  DevInDriveState,
  DevInDriveDevSt,
  DevInDriveWcSt,
  DevInEncDevSt,
  DevInEncWcSt,
  DevInDriveBoxSt,
  DevInEncBoxSt,
  DevOutDacOut,
  DevOutDigOut,
  DevOutCount,
  DevOutDacOutA,
  DevOutDacOutB,
  DevOutMove,
  DevOutPwrEna,
  DevOutNomVelo,
  DevOutDriveCtrl,
};

struct Bind {
  Src src = Src::None;
  uint16_t no = 0;  // ParamNo, LinRecord number, aux index or ValueId
  uint32_t bit = 0;

  constexpr ValueId Value() const { return static_cast<ValueId>(no); }
};

// Display formats. The numeric ones are printf formats of one value; the rest are composed.
enum class Fmt : uint8_t {
  None,
  Real6,         // "%.6lf"
  Real3x6,       // "%3.6lf"
  Real3,         // "%.3lf"
  Real1,         // "%.1lf"
  Percent6,      // fraction x 100, "%.6lf"
  Percent3x6,    // fraction x 100, "%3.6lf"
  Percent1,      // fraction x 100, "%.1lf"
  PercentSign2,  // fraction x 100, "%.2lf%%"
  Millis3,       // seconds x 1000, "%.3lf"
  Hex8,          // "%08lX" of the 32-bit pattern
  Long1,         // "%1ld"
  Long,          // "%ld"
  Int,           // "%d"
  ErrorCode,     // "%ld(0x%lX)"
  Text,          // a text as stored
  TypeName,      // the name of an enumeration value, or "undefined"
  StepName,      // CurrentStep by name
  StateName,     // AxisStateCode by name
  Bits8,         // a byte as eight "1"/"0", most significant bit first
  Bytes4Hex0x,   // four bytes "0x%02X 0x%02X 0x%02X 0x%02X", lowest address first
  Bytes4Hex,     // four bytes "%02X %02X %02X %02X", lowest address first
  Words2,        // two 16-bit words "%5d %5d", the word at the higher address first
  Hex4,          // "%04X"
  Lines,         // text lines joined by line feeds
};

// Named visibility rules. A control is visible on its own page while its rule holds.
enum class Show : uint8_t {
  Always,
  Never,
  NotOverview,         // the axis name row
  NotLinTab,           // the destination and velocity edits
  PosAcc,              // ProfileType 1
  Jerk,                // ProfileType 5, 6, 100 with a StParam layout above 8
  TimeBased,           // ProfileType 3, 5, 6, 100 with a StParam layout above 8
  BrakeDelay,          // ProfileType 3, 4, 5, 6, 100
  Override,            // ProfileType 3, 5, 6, 100
  Buffered,            // as Override, from library V3.0.34
  Asymmetric,          // the stored Asymmetric flag
  AxisRefAbove3,       // AxisRef layout above 3
  StParamAbove8,       // StParam layout above 8
  StParamAbove9,       // StParam layout above 9
  OutputWeighting,     // DriveType 17, 26, 28, 29 from library V3.0.25 or in file mode
  DriveType26,         // DriveType 26
  ZeroOffset,          // EncoderType in group A or B, or 42
  EncoderGroupA,       // EncoderType in group A
  EncoderGroupB,       // EncoderType in group B
  IndexSearch,         // incremental encoder, ReferenceMode 0 to 2
  SyncSearch,          // incremental encoder, ReferenceMode 1 to 3
  DefaultHome,         // incremental encoder, ReferenceMode 0 to 4
  BaseDistance,        // incremental encoder, ReferenceMode 3
  LinDef,              // library V3.0.33 or file mode
  MessageLog,          // message log layout above 0
  IoTerminal,          // I/O terminal layout (AxisRef layout up to 3)
  IoTerminalEncoder,   // terminal layout, EncoderType 7, 24, 25, 29, 30, 31, 34
  IoTerminalXerbo,     // terminal layout, DriveType 4, 16, 17, 26, 27, 28, 30
  IoTerminalDrive,     // terminal layout, other drive types, with both device flags
  IoDeviceBoth,        // device layout with both device flags
  IoDeviceDriveGroup,  // device layout, drive type in the drive group
  IoDeviceOtherDrive,  // device layout, drive type outside the drive group, both flags
};

// Texts that depend on the page or on the axis types.
enum class TextRule : uint8_t {
  Fixed,          // always its text
  NotOnEncoder,   // empty on the Encoder page ("Start" and the jog buttons)
  OnlyOnEncoder,  // empty except on the Encoder page ("SetPos")
  NotOnLinTab,    // empty on the LinTab page (destination and velocity labels)
  DriveState,     // "DEV_IN.DriveState" or "DEV_IN.uiDriveState" by DriveType
  DriveCtrl,      // "DEVOUT.DriveCtrl" or "DEVOUT.uiDriveCtrl" by EncoderType
};

// Which of the four type lists a combo box holds.
enum class ComboList : uint8_t { None, Encoder, Homing, Drive, Profile };

struct Control {
  Kind kind = Kind::Text;
  // Design units: 1/1024 of the screen height.
  int16_t x = 0;
  int16_t y = 0;
  int16_t w = 0;
  int16_t h = 0;               // texts and buttons; the dropped height of a combo box
  uint32_t text = 0;           // string ID of the label or caption, 0 for none
  std::string_view literal{};  // a caption that is the same in every language
  Bind bind{};
  Fmt fmt = Fmt::None;
  Show show = Show::Always;
  TextRule textRule = TextRule::Fixed;
  int16_t id = 0;   // command ID of a button, 600 for the list
  int16_t key = 0;  // key code of a value button
  ComboList combo = ComboList::None;
  FontKind font = FontKind::Page;
};

}  // namespace pages::layout
