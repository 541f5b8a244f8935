#include "pages/layout/PageTables.h"

#include <vector>

namespace pages::layout {
namespace {

// ---- Row pieces ----

constexpr int16_t U(int v) {
  return static_cast<int16_t>(v);
}

constexpr Bind P(uint16_t no, uint32_t bit = 0) {
  return Bind{Src::Param, no, bit};
}
constexpr Bind Lin(uint16_t no) {
  return Bind{Src::Lin, no, 0};
}
constexpr Bind TypeOf(uint16_t no) {
  return Bind{Src::TypeName, no, 0};
}
constexpr Bind V(ValueId id, uint32_t bit = 0) {
  return Bind{Src::Value, static_cast<uint16_t>(id), bit};
}

// A text is this high unless its row gives a height.
constexpr int16_t kTextHeight = 36;

constexpr Control Label(uint32_t text, int x, int y, int w, Show show = Show::Always) {
  Control c;
  c.kind = Kind::Text;
  c.x = U(x);
  c.y = U(y);
  c.w = U(w);
  c.h = kTextHeight;
  c.text = text;
  c.show = show;
  return c;
}

constexpr Control Value(Kind kind, int x, int y, int w, Bind bind, Fmt fmt,
                        Show show = Show::Always) {
  Control c;
  c.kind = kind;
  c.x = U(x);
  c.y = U(y);
  c.w = U(w);
  if (kind == Kind::Text) c.h = kTextHeight;
  c.bind = bind;
  c.fmt = fmt;
  c.show = show;
  return c;
}

constexpr Control Edit(int x, int y, int w, Bind bind, Fmt fmt = Fmt::Real6,
                       Show show = Show::Always) {
  return Value(Kind::Edit, x, y, w, bind, fmt, show);
}
constexpr Control Shown(int x, int y, int w, Bind bind, Fmt fmt, Show show = Show::Always) {
  return Value(Kind::ReadOnly, x, y, w, bind, fmt, show);
}

constexpr Control Check(int x, int y, int w, Bind bind, uint32_t caption = 0,
                        Show show = Show::Always) {
  Control c = Value(Kind::Check, x, y, w, bind, Fmt::None, show);
  c.text = caption;
  return c;
}

constexpr Control Lamp(int x, int y, int w, Bind bind, Show show = Show::Always) {
  return Value(Kind::Lamp, x, y, w, bind, Fmt::None, show);
}

// A lamp of the device layout whose caption is the legend of its row ("p A n": the box before
// it is p, the box after it n). The legend has to fit between two boxes 40 or 58 units apart,
// so it takes the small font.
constexpr Control CaptionLamp(int x, int y, int w, Bind bind, std::string_view literal,
                              uint32_t text, Show show) {
  Control c = Lamp(x, y, w, bind, show);
  c.literal = literal;
  c.text = text;
  c.font = FontKind::Small;
  return c;
}

constexpr Control Button(uint32_t caption, int16_t id, int x, int y, int w, int h,
                         TextRule rule = TextRule::Fixed) {
  Control c;
  c.kind = Kind::Button;
  c.x = U(x);
  c.y = U(y);
  c.w = U(w);
  c.h = U(h);
  c.text = caption;
  c.id = id;
  c.textRule = rule;
  return c;
}

constexpr Control JogButton(uint32_t caption, int16_t id, int x, int16_t key) {
  Control c = Button(caption, id, x, 834, 40, 50, TextRule::NotOnEncoder);
  c.kind = Kind::ValueButton;
  c.key = key;
  return c;
}

constexpr Control Combo(int x, int y, int w, int h, uint16_t no, ComboList list) {
  Control c = Value(Kind::Combo, x, y, w, P(no), Fmt::TypeName);
  c.h = U(h);
  c.combo = list;
  return c;
}

constexpr Control WithRule(Control c, TextRule rule) {
  c.textRule = rule;
  return c;
}

// The parameter grid: labels 280 wide at 10 and 540, values 230 wide at 300 and 830.
constexpr Control L(uint32_t text, int y, Show show = Show::Always) {
  return Label(text, 10, y, 280, show);
}
constexpr Control R(uint32_t text, int y, Show show = Show::Always) {
  return Label(text, 540, y, 280, show);
}
constexpr Control LEdit(int y, Bind bind, Fmt fmt = Fmt::Real6, Show show = Show::Always) {
  return Edit(300, y, 230, bind, fmt, show);
}
constexpr Control REdit(int y, Bind bind, Fmt fmt = Fmt::Real6, Show show = Show::Always) {
  return Edit(830, y, 230, bind, fmt, show);
}
constexpr Control LShown(int y, Bind bind, Fmt fmt, Show show = Show::Always) {
  return Shown(300, y, 230, bind, fmt, show);
}
constexpr Control RShown(int y, Bind bind, Fmt fmt, Show show = Show::Always) {
  return Shown(830, y, 230, bind, fmt, show);
}

// The narrow grid of the I/O device layout and the LinDef page: labels 230 wide, values 150.
constexpr Control NLabel(uint32_t text, int x, int y, Show show) {
  return Label(text, x, y, 230, show);
}
constexpr Control NShown(int x, int y, Bind bind, Fmt fmt, Show show) {
  return Shown(x, y, 150, bind, fmt, show);
}

// Check boxes beside a value: 150 wide at 540.
constexpr uint32_t kEnabled = 1050;
constexpr uint32_t kPositive = 1052;
constexpr uint32_t kInverted = 1053;
constexpr uint32_t kDownload = 1011;

// ---- Frame rows ----

constexpr std::array kFrame{
    Label(1001, 10, 50, 280, Show::NotOverview),
    Value(Kind::ReadOnlyLeft, 300, 50, 760, V(ValueId::AxisName), Fmt::Text, Show::NotOverview),
    WithRule(Label(1002, 10, 784, 300), TextRule::NotOnLinTab),
    Edit(320, 784, 150, V(ValueId::Destination), Fmt::None, Show::NotLinTab),
    WithRule(Label(1003, 490, 784, 290), TextRule::NotOnLinTab),
    Edit(790, 784, 150, V(ValueId::Velocity), Fmt::None, Show::NotLinTab),
    JogButton(1004, kIdJogFastNeg, 10, 112),
    JogButton(1005, kIdJogSlowNeg, 60, 113),
    JogButton(1006, kIdJogSlowPos, 110, 114),
    JogButton(1007, kIdJogFastPos, 160, 115),
    Button(1012, kIdSave, 220, 834, 120, 50),
    Button(1013, kIdLoad, 360, 834, 80, 50),
    Button(1014, kIdReset, 460, 834, 80, 50),
    Button(1015, kIdStart, 560, 834, 80, 50, TextRule::NotOnEncoder),
    Button(1016, kIdHome, 660, 834, 100, 50),
    Button(1017, kIdSetPos, 780, 834, 100, 50, TextRule::OnlyOnEncoder),
    Button(kDownload, kIdDownload, 900, 834, 120, 50),
};

// ---- Page 0, Common ----

constexpr std::array kCommon{
    L(1010, 120),
    LShown(120, P(1001), Fmt::Millis3),
    R(2009, 120),
    RShown(120, V(ValueId::ErrorCode), Fmt::ErrorCode),
    R(1018, 160),
    RShown(160, V(ValueId::InitError), Fmt::ErrorCode),
    R(1019, 200),
    RShown(200, V(ValueId::InitState), Fmt::Int),
    L(1100, 250),
    Shown(300, 250, 300, TypeOf(1100), Fmt::TypeName),
    Combo(610, 250, 300, 240, 1100, ComboList::Encoder),
    Button(kDownload, kIdDownloadEncoderType, 920, 250, 120, 30),
    L(1400, 300),
    Shown(300, 300, 300, TypeOf(1101), Fmt::TypeName),
    Combo(610, 300, 300, 120, 1101, ComboList::Homing),
    Button(kDownload, kIdDownloadReferenceMode, 920, 300, 120, 30),
    L(1200, 350),
    Shown(300, 350, 300, TypeOf(1300), Fmt::TypeName),
    Combo(610, 350, 300, 150, 1300, ComboList::Drive),
    Button(kDownload, kIdDownloadDriveType, 920, 350, 120, 30),
    L(1300, 400),
    Shown(300, 400, 300, TypeOf(1000), Fmt::TypeName),
    Combo(610, 400, 300, 120, 1000, ComboList::Profile),
    Button(kDownload, kIdDownloadProfileType, 920, 400, 120, 30),
    L(1020, 470),
    Value(Kind::ReadOnlyLeft, 300, 470, 760, P(1007), Fmt::Text),
    [] {
      Control c = Value(Kind::MessageBox, 10, 520, 1050, V(ValueId::MessageLines), Fmt::Lines,
                        Show::MessageLog);
      c.h = 224;
      c.font = FontKind::Small;
      return c;
    }(),
};

// ---- Page 1, Overview ----

constexpr std::array kOverview{
    [] {
      Control c = Value(Kind::List, 10, 30, 1190, V(ValueId::OverviewList), Fmt::None);
      c.h = 620;
      c.id = kIdOverviewList;
      c.font = FontKind::List;
      return c;
    }(),
};

// ---- Page 2, Online ----

// A status lamp with its label 20 units to the right and 5 lower.
struct LampRow {
  int x;
  int y;
  int labelY;
  uint32_t text;
  ValueId word;
  uint32_t mask;
};
constexpr LampRow kOnlineLamps[] = {
    {20, 445, 450, 2103, ValueId::StateBits, 1u << 0},
    {20, 482, 487, 2104, ValueId::StateBits, 1u << 1},
    {20, 519, 524, 2100, ValueId::StateBits, 1u << 2},
    {20, 556, 561, 2101, ValueId::StateBits, 1u << 9},
    {20, 593, 598, 2102, ValueId::StateBits, 1u << 10},
    {20, 630, 635, 2105, ValueId::StateBits, 1u << 4},
    {20, 667, 672, 2106, ValueId::StateBits, 1u << 3},
    {20, 704, 709, 2107, ValueId::StateBits, 1u << 7},
    {20, 741, 746, 2116, ValueId::StateBits, 0x20000020u},
    {200, 445, 450, 2112, ValueId::EnableBits, 1u << 0},
    {200, 487, 487, 2113, ValueId::EnableBits, 1u << 1},
    {200, 519, 524, 2114, ValueId::EnableBits, 1u << 2},
    {200, 556, 561, 2115, ValueId::EnableBits, 1u << 5},
    {200, 593, 598, 2108, ValueId::PosCams, 1u << 3},
    {200, 630, 635, 2109, ValueId::PosCams, 1u << 2},
    {200, 667, 672, 2110, ValueId::PosCams, 1u << 1},
    {200, 704, 709, 2111, ValueId::PosCams, 1u << 0},
};
constexpr size_t kOnlineLampCount = std::size(kOnlineLamps);

constexpr std::array kOnlineValues{
    L(2001, 170),
    LShown(170, V(ValueId::ActualPos), Fmt::Real6),
    L(2002, 210),
    LShown(210, V(ValueId::SetpointPos), Fmt::Real6),
    L(2003, 250),
    LShown(250, V(ValueId::TargetPos), Fmt::Real6),
    L(2006, 290),
    LShown(290, V(ValueId::LatchPos), Fmt::Real6),
    L(2004, 340),
    LShown(340, V(ValueId::Distance), Fmt::Real6),
    L(2005, 380),
    LShown(380, V(ValueId::Lag), Fmt::Real6),
    R(2009, 120),
    RShown(120, V(ValueId::ErrorCode), Fmt::ErrorCode),
    R(2007, 170),
    RShown(170, V(ValueId::ActualVelo), Fmt::Real6),
    R(2008, 210),
    RShown(210, V(ValueId::SetpointVelo), Fmt::Real6),
    R(2010, 260),
    RShown(260, V(ValueId::CurrentStep), Fmt::StepName),
    R(2011, 300),
    RShown(300, V(ValueId::CurrentState), Fmt::StateName),
    R(2012, 350),
    RShown(350, V(ValueId::ActualPressure), Fmt::Real6),
    R(2013, 400),
    RShown(400, V(ValueId::LagController), Fmt::Real6),
    R(2014, 440),
    RShown(440, V(ValueId::Clamping), Fmt::Real6),
    R(2015, 480),
    RShown(480, V(ValueId::Overlap), Fmt::PercentSign2),
    R(2016, 520, Show::Override),
    RShown(520, V(ValueId::Override), Fmt::PercentSign2, Show::Override),
    R(2017, 560, Show::Buffered),
    RShown(560, V(ValueId::Buffered), Fmt::Long, Show::Buffered),
};

constexpr auto kOnline = [] {
  std::array<Control, kOnlineValues.size() + 2 * kOnlineLampCount> page{};
  size_t n = 0;
  for (const Control& c : kOnlineValues) page[n++] = c;
  for (const LampRow& lamp : kOnlineLamps) {
    page[n++] = Lamp(lamp.x, lamp.y, 10, V(lamp.word, lamp.mask));
    page[n++] = Label(lamp.text, lamp.x + 20, lamp.labelY, lamp.x == 20 ? 160 : 240);
  }
  return page;
}();

// ---- Page 3, Global ----

constexpr std::array kGlobal{
    L(3001, 120),
    LEdit(120, P(8)),
    L(3004, 170),
    LEdit(170, P(12)),
    L(3005, 210),
    LEdit(210, P(14)),
    L(3013, 260),
    LEdit(260, P(1901)),
    L(3014, 300),
    LEdit(300, P(1900)),
    L(3015, 350),
    LEdit(350, P(9)),
    L(3016, 390),
    LEdit(390, P(13)),
    L(3017, 430),
    LEdit(430, P(15)),
    L(3018, 470, Show::Jerk),
    LEdit(470, P(16), Fmt::Real6, Show::Jerk),
    L(1021, 510, Show::TimeBased),
    Check(300, 510, 10, P(1003), 0, Show::TimeBased),
    L(1022, 550, Show::Jerk),
    Check(300, 550, 10, P(1004, 0x8000), 0, Show::Jerk),
    Check(350, 550, 10, P(1004, 0x0100), 0, Show::Jerk),
    Check(400, 550, 10, P(1004, 0x0080), 0, Show::Jerk),
    Check(450, 550, 10, P(1004, 0x0001), 0, Show::Jerk),
    R(3003, 120, Show::PosAcc),
    REdit(120, P(1402), Fmt::Real6, Show::PosAcc),
    Check(830, 160, 150, P(1401), kEnabled, Show::PosAcc),
    R(3006, 210),
    REdit(210, P(1600)),
    REdit(250, P(1604), Fmt::Real6, Show::Asymmetric),
    Label(3010, 1080, 210, 80),
    Check(1062, 210, 10, P(1608)),
    R(3007, 290),
    REdit(290, P(1601)),
    REdit(330, P(1605), Fmt::Real6, Show::Asymmetric),
    R(3008, 370),
    REdit(370, P(1602)),
    REdit(410, P(1606), Fmt::Real6, Show::Asymmetric),
    Label(3019, 1080, 370, 80),
    Check(1062, 370, 10, P(1706)),
    R(3009, 450),
    REdit(450, P(1603)),
    REdit(490, P(1607), Fmt::Real6, Show::Asymmetric),
    R(3002, 540),
    REdit(540, P(1400)),
    R(3011, 580),
    REdit(580, P(1500)),
    R(3012, 620),
    REdit(620, P(1501)),
};

// ---- Page 4, Valve ----

constexpr std::array kValve{
    L(4001, 120),
    LEdit(120, P(1301)),
    Check(540, 120, 150, P(1302), kInverted),
    Check(540, 170, 200, P(1303), 4010, Show::AxisRefAbove3),
    Check(540, 220, 200, P(1304), 4012),
    L(4005, 170, Show::AxisRefAbove3),
    LEdit(170, P(1280), Fmt::Real6, Show::AxisRefAbove3),
    L(4006, 220, Show::AxisRefAbove3),
    LEdit(220, P(1281), Fmt::Real6, Show::AxisRefAbove3),
    L(4002, 270),
    LEdit(270, P(1200), Fmt::Percent3x6),
    LEdit(310, P(1204), Fmt::Percent3x6, Show::Asymmetric),
    L(4003, 350),
    LEdit(350, P(1201), Fmt::Percent6),
    L(4004, 390),
    LEdit(390, P(1202), Fmt::Percent6),
    L(4011, 430, Show::StParamAbove9),
    LEdit(430, P(1203), Fmt::Real6, Show::StParamAbove9),
    L(4007, 480, Show::BrakeDelay),
    LEdit(480, P(1503), Fmt::Real6, Show::BrakeDelay),
    L(4008, 520, Show::BrakeDelay),
    LEdit(520, P(1502), Fmt::Real6, Show::BrakeDelay),
    L(4009, 560, Show::BrakeDelay),
    LEdit(560, P(1504), Fmt::Real6, Show::BrakeDelay),
    L(4013, 600, Show::OutputWeighting),
    LEdit(600, P(1305), Fmt::Real6, Show::OutputWeighting),
    L(4014, 640, Show::OutputWeighting),
    LEdit(640, P(1306), Fmt::Real6, Show::OutputWeighting),
};

// ---- Page 5, Encoder: labels stay, values follow the encoder group ----

constexpr std::array kEncoder{
    L(5001, 120),
    LEdit(120, P(1103)),
    Check(540, 120, 150, P(1110), kInverted),
    L(5002, 160),
    LEdit(160, P(1104)),
    L(5003, 200),
    LEdit(200, P(1102), Fmt::Real6, Show::ZeroOffset),
    L(5004, 240),
    LEdit(240, P(1120), Fmt::Long1, Show::EncoderGroupB),
    Value(Kind::Text, 550, 240, 230, V(ValueId::EncoderInfo1), Fmt::Real6, Show::DriveType26),
    Value(Kind::Text, 830, 240, 230, V(ValueId::EncoderInfo2), Fmt::Real6, Show::DriveType26),
    L(5005, 280),
    LEdit(280, P(1105), Fmt::Percent6, Show::IndexSearch),
    Check(540, 280, 150, P(1106), kPositive, Show::IndexSearch),
    L(5006, 320),
    LEdit(320, P(1107), Fmt::Percent6, Show::SyncSearch),
    Check(540, 320, 150, P(1108), kPositive, Show::SyncSearch),
    L(5007, 360),
    LEdit(360, P(1109), Fmt::Real6, Show::DefaultHome),
    L(5008, 400),
    LEdit(400, P(1111), Fmt::Real6, Show::BaseDistance),
    L(5009, 440),
    LEdit(440, P(1112), Fmt::Real6, Show::Never),
    L(5010, 480, Show::EncoderGroupA),
    LEdit(480, P(1117), Fmt::Real6, Show::EncoderGroupA),
    L(5011, 520, Show::EncoderGroupB),
    LEdit(520, P(1118), Fmt::Hex8, Show::EncoderGroupB),
    L(5012, 560, Show::EncoderGroupB),
    LEdit(560, P(1119), Fmt::Hex8, Show::EncoderGroupB),
};

// ---- Page 6, Ctrl ----

constexpr std::array kCtrl{
    Label(6015, 330, 98, 300),
    Check(312, 90, 10, P(1707)),
    L(6001, 160),
    LEdit(160, P(1700)),
    L(6002, 200),
    LEdit(200, P(1708)),
    L(6003, 240),
    LEdit(240, P(1709)),
    L(6004, 280),
    LEdit(280, P(1710)),
    L(6005, 320),
    LEdit(320, P(1711)),
    L(6011, 390),
    LEdit(390, P(1717)),
    L(6012, 430),
    LEdit(430, P(1703)),
    L(6013, 470),
    LEdit(470, P(1704)),
    L(6014, 510),
    LEdit(510, P(1705)),
    R(6006, 160),
    REdit(160, P(1712)),
    R(6007, 200),
    REdit(200, P(1713)),
    R(6008, 240),
    REdit(240, P(1714)),
    R(6009, 280),
    REdit(280, P(1715)),
    R(6010, 320),
    REdit(320, P(1716)),
};

// ---- Page 7, Monitor ----

constexpr std::array kMonitor{
    L(7001, 120),
    LEdit(120, P(3)),
    Check(540, 120, 150, P(5), kEnabled),
    L(7002, 160),
    LEdit(160, P(2)),
    Check(540, 160, 150, P(4), kEnabled),
    L(7003, 210),
    LEdit(210, P(1800)),
    L(7004, 250),
    LEdit(250, P(1801)),
    L(7005, 290),
    LEdit(290, P(1802)),
    L(7006, 330, Show::StParamAbove8),
    LEdit(330, P(7), Fmt::Real6, Show::StParamAbove8),
    Check(540, 330, 150, P(6), kEnabled, Show::StParamAbove8),
    L(7007, 370, Show::StParamAbove8),
    LEdit(370, P(1803), Fmt::Real6, Show::StParamAbove8),
    L(7008, 410, Show::StParamAbove8),
    LEdit(410, P(1804), Fmt::Real6, Show::StParamAbove8),
    L(7009, 450),
    LEdit(450, P(1806)),
    Check(540, 450, 150, P(1805), kEnabled),
};

// ---- Page 8, Auxilary: twenty rows in two columns, labels named by the controller ----

constexpr auto kAuxilary = [] {
  std::array<Control, 2 * kAuxValues> page{};
  for (uint16_t i = 0; i < kAuxValues; ++i) {
    const int y = 120 + 40 * (i % 10);
    const bool right = i >= 10;
    Control label = Label(0, right ? 540 : 10, y, 280);
    label.bind = Bind{Src::AuxName, i, 0};
    page[2u * i] = label;
    page[2u * i + 1] = right ? REdit(y, P(static_cast<uint16_t>(kParamNoAuxFirst + i)))
                             : LEdit(y, P(static_cast<uint16_t>(kParamNoAuxFirst + i)));
  }
  return page;
}();

// ---- Page 9, I/O: the terminal layout, then the device layout ----

constexpr Show kTerm = Show::IoTerminal;
constexpr Show kTermEnc = Show::IoTerminalEncoder;
constexpr Show kXerbo = Show::IoTerminalXerbo;
constexpr Show kTermDrv = Show::IoTerminalDrive;
constexpr Show kBoth = Show::IoDeviceBoth;
constexpr Show kDrvGroup = Show::IoDeviceDriveGroup;
constexpr Show kOther = Show::IoDeviceOtherDrive;

constexpr std::array kIo{
    // Terminal layout, left column.
    L(9001, 120, kTerm),
    LShown(120, V(ValueId::EncCount), Fmt::Int, kTerm),
    L(9002, 160, kTermEnc),
    LShown(160, V(ValueId::EncLatch), Fmt::Int, kTermEnc),
    L(9003, 200, kTermEnc),
    LShown(200, V(ValueId::EncStatus), Fmt::Int, kTermEnc),
    L(9004, 250, kTermEnc),
    LShown(250, V(ValueId::EncPzdl), Fmt::Int, kTermEnc),
    L(9005, 290, kTermEnc),
    LShown(290, V(ValueId::EncPzdh), Fmt::Int, kTermEnc),
    L(9006, 330, kTermEnc),
    LShown(330, V(ValueId::EncRegStatus), Fmt::Int, kTermEnc),
    Label(9007, 10, 380, 240, kTermEnc),
    Lamp(300, 375, 10, V(ValueId::EncDigIn, 0), kTermEnc),
    Lamp(350, 375, 10, V(ValueId::EncDigIn, 1), kTermEnc),
    Label(9009, 10, 430, 240, kTermEnc),
    Lamp(300, 425, 10, V(ValueId::EncDigCam, 0), kTermEnc),
    Lamp(350, 425, 10, V(ValueId::EncDigCam, 1), kTermEnc),
    Lamp(400, 425, 10, V(ValueId::EncDigCam, 2), kTermEnc),
    Lamp(450, 425, 10, V(ValueId::EncDigCam, 3), kTermEnc),
    L(9013, 480, kTermEnc),
    LShown(480, V(ValueId::EncCtrl), Fmt::Int, kTermEnc),
    // Terminal layout, right column.
    R(9150, 120, kTerm),
    RShown(120, V(ValueId::DrvDacOut), Fmt::Int, kTerm),
    R(9154, 170, kTerm),
    Lamp(830, 165, 10, V(ValueId::DrvPowerOn), kTerm),
    R(9155, 207, kTerm),
    Lamp(830, 202, 10, V(ValueId::DrvEnable), kTerm),
    R(9156, 244, kTerm),
    Lamp(830, 239, 10, V(ValueId::DrvEnablePn, 0), kTerm),
    Lamp(880, 239, 10, V(ValueId::DrvEnablePn, 1), kTerm),
    R(9101, 294, kTerm),
    Lamp(830, 289, 10, V(ValueId::DrvPowerOk), kTerm),
    R(9102, 331, kTermDrv),
    Lamp(830, 326, 10, V(ValueId::DrvEnAck), kTermDrv),
    R(9103, 368, kTermDrv),
    Lamp(830, 363, 10, V(ValueId::DrvReady), kTermDrv),
    R(9170, 331, kXerbo),
    RShown(331, V(ValueId::XerboDriveCtrl), Fmt::Bytes4Hex0x, kXerbo),
    R(9171, 368, kXerbo),
    RShown(368, V(ValueId::XerboDriveState), Fmt::Bytes4Hex0x, kXerbo),
    R(9151, 418, kTermDrv),
    Lamp(830, 413, 10, V(ValueId::DrvDigOutA, 0), kTermDrv),
    Lamp(880, 413, 10, V(ValueId::DrvDigOutA, 1), kTermDrv),
    R(9152, 455, kTermDrv),
    Lamp(830, 450, 10, V(ValueId::DrvDigOutB, 0), kTermDrv),
    Lamp(880, 450, 10, V(ValueId::DrvDigOutB, 1), kTermDrv),
    R(9157, 495, kTermDrv),
    RShown(495, V(ValueId::DrvDacOutA), Fmt::Int, kTermDrv),
    R(9158, 535, kTermDrv),
    RShown(535, V(ValueId::DrvDacOutB), Fmt::Int, kTermDrv),
    R(9159, 585, kTermDrv),
    Lamp(830, 580, 10, V(ValueId::DrvMovePosNeg, 0), kTermDrv),
    Lamp(880, 580, 10, V(ValueId::DrvMovePosNeg, 1), kTermDrv),
    R(9153, 625, kTermDrv),
    RShown(625, V(ValueId::DrvCount), Fmt::Int, kTermDrv),

    // Device layout, column 1; its first three rows have a second set for the drive group.
    NLabel(10001, 10, 120, kOther),
    NShown(250, 120, V(ValueId::DevInCount), Fmt::Int, kOther),
    NLabel(10002, 10, 160, kOther),
    NShown(250, 160, V(ValueId::DevInLatch), Fmt::Int, kOther),
    NLabel(10003, 10, 200, kOther),
    NShown(250, 200, V(ValueId::DevInStatus), Fmt::Bits8, kOther),
    NLabel(10013, 10, 120, kDrvGroup),
    NShown(250, 120, V(ValueId::DevInDriveError), Fmt::Long, kDrvGroup),
    NLabel(10015, 10, 160, kDrvGroup),
    NShown(250, 160, V(ValueId::DevInActualPos), Fmt::Words2, kDrvGroup),
    WithRule(NLabel(10017, 10, 200, kDrvGroup), TextRule::DriveState),
    NShown(250, 200, V(ValueId::DevInDriveState), Fmt::Hex4, kDrvGroup),
    NLabel(10004, 10, 240, kBoth),
    NShown(250, 240, V(ValueId::DevInPzdl), Fmt::Int, kBoth),
    NLabel(10005, 10, 280, kBoth),
    NShown(250, 280, V(ValueId::DevInPzdh), Fmt::Int, kBoth),
    NLabel(10006, 10, 320, kBoth),
    NShown(250, 320, V(ValueId::DevInRegStatus), Fmt::Bits8, kBoth),
    NLabel(10007, 10, 360, kBoth),
    NShown(250, 360, V(ValueId::DevInUdiCount), Fmt::Long, kBoth),
    NLabel(10008, 10, 400, kBoth),
    NShown(250, 400, V(ValueId::DevInTermState), Fmt::Int, kBoth),
    NLabel(10009, 10, 440, kBoth),
    NShown(250, 440, V(ValueId::DevInTermData), Fmt::Int, kBoth),
    NLabel(10010, 10, 480, kBoth),
    NShown(250, 480, V(ValueId::DevInQelvarSt2), Fmt::Int, kBoth),
    NLabel(10011, 10, 520, kBoth),
    Lamp(330, 520, 150, V(ValueId::DevInDigIn, 0), kBoth),
    Lamp(370, 520, 150, V(ValueId::DevInDigIn, 1), kBoth),
    NLabel(10012, 10, 560, kBoth),
    Lamp(250, 560, 150, V(ValueId::DevInDigCam, 0), kBoth),
    Lamp(290, 560, 150, V(ValueId::DevInDigCam, 1), kBoth),
    Lamp(330, 560, 150, V(ValueId::DevInDigCam, 2), kBoth),
    Lamp(370, 560, 150, V(ValueId::DevInDigCam, 3), kBoth),
    NLabel(10014, 10, 600, kBoth),
    Lamp(330, 600, 150, V(ValueId::DevInPwrOkEnAck, 0), kBoth),
    Lamp(370, 600, 150, V(ValueId::DevInPwrOkEnAck, 1), kBoth),
    // Device layout, column 2.
    NLabel(10018, 410, 120, kBoth),
    NShown(650, 120, V(ValueId::DevInDriveDevSt), Fmt::Int, kBoth),
    NLabel(10019, 410, 160, kBoth),
    NShown(650, 160, V(ValueId::DevInDriveWcSt), Fmt::Int, kBoth),
    NLabel(10020, 410, 200, kBoth),
    NShown(650, 200, V(ValueId::DevInEncDevSt), Fmt::Int, kBoth),
    NLabel(10021, 410, 240, kBoth),
    NShown(650, 240, V(ValueId::DevInEncWcSt), Fmt::Int, kBoth),
    NLabel(10022, 410, 280, kBoth),
    NShown(650, 280, V(ValueId::DevInDriveBoxSt), Fmt::Int, kBoth),
    NLabel(10023, 410, 320, kBoth),
    NShown(650, 320, V(ValueId::DevInEncBoxSt), Fmt::Int, kBoth),
    // Device layout, column 3; its first two rows have a second set for the drive group.
    NLabel(10024, 810, 120, kOther),
    NShown(1050, 120, V(ValueId::DevOutDacOut), Fmt::Int, kOther),
    NLabel(10025, 810, 160, kOther),
    CaptionLamp(1050, 160, 150, V(ValueId::DevOutDigOut, 0), "p A n", 0, kOther),
    Lamp(1108, 160, 150, V(ValueId::DevOutDigOut, 1), kOther),
    CaptionLamp(1128, 160, 150, V(ValueId::DevOutDigOut, 2), "p B n", 0, kOther),
    Lamp(1186, 160, 150, V(ValueId::DevOutDigOut, 3), kOther),
    NLabel(10031, 810, 120, kDrvGroup),
    NShown(1050, 120, V(ValueId::DevOutNomVelo), Fmt::Long, kDrvGroup),
    WithRule(NLabel(10030, 810, 160, kDrvGroup), TextRule::DriveCtrl),
    NShown(1050, 160, V(ValueId::DevOutDriveCtrl), Fmt::Bytes4Hex, kDrvGroup),
    NLabel(10026, 810, 200, kBoth),
    NShown(1050, 200, V(ValueId::DevOutCount), Fmt::Int, kBoth),
    NLabel(10027, 810, 240, kBoth),
    NShown(1050, 240, V(ValueId::DevOutDacOutA), Fmt::Int, kBoth),
    NLabel(10028, 810, 280, kBoth),
    NShown(1050, 280, V(ValueId::DevOutDacOutB), Fmt::Int, kBoth),
    NLabel(10032, 810, 320, kBoth),
    CaptionLamp(1050, 320, 150, V(ValueId::DevOutMove, 0), "p n", 0, kBoth),
    Lamp(1090, 320, 150, V(ValueId::DevOutMove, 1), kBoth),
    CaptionLamp(1130, 320, 150, V(ValueId::DevOutMove, 2), {}, 10033, kBoth),
    NLabel(10034, 810, 360, kOther),
    Lamp(1050, 360, 150, V(ValueId::DevOutPwrEna, 0), kOther),
    Lamp(1090, 360, 150, V(ValueId::DevOutPwrEna, 1), kOther),
    Lamp(1130, 360, 150, V(ValueId::DevOutPwrEna, 2), kOther),
    Lamp(1170, 360, 150, V(ValueId::DevOutPwrEna, 3), kOther),
};

// ---- Page 11, LinDef (narrow grid; the whole page from library V3.0.33 or in file mode) ----

constexpr Show kLin = Show::LinDef;
constexpr Control LinLeft(uint32_t text, int y) {
  return NLabel(text, 10, y, kLin);
}
constexpr Control LinRight(uint32_t text, int y) {
  return NLabel(text, 540, y, kLin);
}
constexpr Control LinCheck(int x, int y, uint16_t no) {
  return Check(x, y, 150, Lin(no), 0, kLin);
}
constexpr Control LinEdit(int x, int y, uint16_t no, Fmt fmt) {
  return Edit(x, y, 150, Lin(no), fmt, kLin);
}

constexpr std::array kLinDef{
    LinLeft(11003, 120),  LinCheck(250, 120, 3001),
    LinLeft(11004, 160),  LinCheck(250, 160, 3002),
    LinLeft(11005, 200),  LinCheck(250, 200, 3003),
    LinLeft(11002, 270),  LinCheck(250, 270, 3000),
    LinLeft(11030, 310),  LinEdit(250, 310, 3100, Fmt::Real1),
    LinLeft(11031, 350),  LinEdit(250, 350, 3101, Fmt::Real1),
    LinRight(11006, 120), LinCheck(780, 120, 3004),
    LinRight(11020, 160), LinEdit(780, 160, 3153, Fmt::Real3),
    LinRight(11021, 200), LinEdit(780, 200, 3154, Fmt::Real3),
    LinRight(11022, 240), LinEdit(780, 240, 3155, Fmt::Real3),
    LinRight(11023, 280), LinEdit(780, 280, 3156, Fmt::Real3),
    LinRight(11024, 330), LinEdit(780, 330, 3150, Fmt::Long),
    LinRight(11032, 370), LinEdit(780, 370, 3158, Fmt::Long),
    LinRight(11025, 420), LinEdit(780, 420, 3106, Fmt::Percent1),
    LinRight(11027, 470), LinEdit(780, 470, 3105, Fmt::Real1),
    LinRight(11026, 510), LinEdit(780, 510, 3104, Fmt::Real1),
    LinRight(11028, 560), LinEdit(780, 560, 3152, Fmt::Real1),
    LinRight(11029, 600), LinEdit(780, 600, 3151, Fmt::Real1),
};

constexpr std::array<std::span<const Control>, kPageCount> kPages{
    kCommon, kOverview, kOnline,   kGlobal, kValve, kEncoder,
    kCtrl,   kMonitor,  kAuxilary, kIo,     {},     kLinDef,
};

}  // namespace

std::span<const Control> PageControls(int page) {
  if (page < 0 || page >= kPageCount) return {};
  return kPages[static_cast<size_t>(page)];
}

std::span<const Control> FrameControls() {
  return kFrame;
}

std::span<const PlacedControl> AllControls() {
  static const std::vector<PlacedControl> all = [] {
    std::vector<PlacedControl> v;
    for (const Control& c : kFrame) v.push_back({kFramePage, &c});
    for (int page = 0; page < kPageCount; ++page) {
      for (const Control& c : PageControls(page)) v.push_back({page, &c});
    }
    return v;
  }();
  return all;
}

}  // namespace pages::layout
