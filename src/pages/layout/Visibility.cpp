#include "pages/layout/Visibility.h"

#include <algorithm>
#include <initializer_list>

#include "pages/layout/PageTables.h"

namespace pages::layout {
namespace {

constexpr int kPageOverview = 1;
constexpr int kPageEncoder = 5;
constexpr int kPageLinTab = 10;

bool In(int v, std::initializer_list<int> set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}
bool Between(int v, int low, int high) {
  return v >= low && v <= high;
}

// The profile families.
bool ProfileJerk(int p) {
  return In(p, {5, 6, 100});
}
bool ProfileOverride(int p) {
  return In(p, {3, 5, 6, 100});
}

bool Incremental(const ViewInputs& in) {
  return EncoderGroupI(in.encoderType);
}

// The I/O page: the terminal layout up to AxisRef layout 3, the device layout above.
bool IoTerminal(const ViewInputs& in) {
  return in.axisRefLayout <= 3;
}
bool BothDeviceFlags(const ViewInputs& in) {
  return in.hasDevIo && in.refFlag4;
}
bool XerboDrive(int driveType) {
  return In(driveType, {4, 16, 17, 26, 27, 28, 30});
}
bool DeviceDriveGroup(int driveType) {
  return In(driveType, {4, 16, 17, 26, 27, 28, 29, 30, 36, 37, 38});
}

}  // namespace

bool EncoderGroupA(int t) {
  return In(t, {4, 11, 17, 18, 22, 23, 26, 40});
}
bool EncoderGroupB(int t) {
  return In(t, {5, 9, 10, 14, 19, 29, 30, 31, 32, 35, 37});
}
bool EncoderGroupI(int t) {
  return !EncoderGroupA(t) && !EncoderGroupB(t) && t != 42 && t != 43;
}

bool RuleHolds(Show rule, const ViewInputs& in) {
  switch (rule) {
    case Show::Always:
      return true;
    case Show::Never:
      return false;
    case Show::NotOverview:
      return in.page != kPageOverview;
    case Show::NotLinTab:
      return in.page != kPageLinTab;
    case Show::PosAcc:
      return in.profileType == 1;
    case Show::Jerk:
      return ProfileJerk(in.profileType) && in.stParamLayout > 8;
    case Show::TimeBased:
      return ProfileOverride(in.profileType) && in.stParamLayout > 8;
    case Show::BrakeDelay:
      return In(in.profileType, {3, 4, 5, 6, 100});
    case Show::Override:
      return ProfileOverride(in.profileType);
    case Show::Buffered:
      return ProfileOverride(in.profileType) && model::LibVersionAtLeast(in.lib, 3, 0, 34);
    case Show::Asymmetric:
      return in.asymmetric;
    case Show::AxisRefAbove3:
      return in.axisRefLayout > 3;
    case Show::StParamAbove8:
      return in.stParamLayout > 8;
    case Show::StParamAbove9:
      return in.stParamLayout > 9;
    case Show::OutputWeighting:
      return In(in.driveType, {17, 26, 28, 29}) &&
             (model::LibVersionAtLeast(in.lib, 3, 0, 25) || in.fileMode);
    case Show::DriveType26:
      return in.driveType == 26;
    case Show::ZeroOffset:
      return EncoderGroupA(in.encoderType) || EncoderGroupB(in.encoderType) || in.encoderType == 42;
    case Show::EncoderGroupA:
      return EncoderGroupA(in.encoderType);
    case Show::EncoderGroupB:
      return EncoderGroupB(in.encoderType);
    case Show::IndexSearch:
      return Incremental(in) && Between(in.referenceMode, 0, 2);
    case Show::SyncSearch:
      return Incremental(in) && Between(in.referenceMode, 1, 3);
    case Show::DefaultHome:
      return Incremental(in) && Between(in.referenceMode, 0, 4);
    case Show::BaseDistance:
      return Incremental(in) && in.referenceMode == 3;
    case Show::LinDef:
      return model::LibVersionAtLeast(in.lib, 3, 0, 33) || in.fileMode;
    case Show::MessageLog:
      return in.messageLogLayout > 0;
    case Show::IoTerminal:
      return IoTerminal(in);
    case Show::IoTerminalEncoder:
      return IoTerminal(in) && In(in.encoderType, {7, 24, 25, 29, 30, 31, 34});
    case Show::IoTerminalXerbo:
      return IoTerminal(in) && XerboDrive(in.driveType);
    case Show::IoTerminalDrive:
      return IoTerminal(in) && !XerboDrive(in.driveType) && BothDeviceFlags(in);
    case Show::IoDeviceBoth:
      return !IoTerminal(in) && BothDeviceFlags(in);
    case Show::IoDeviceDriveGroup:
      return !IoTerminal(in) && DeviceDriveGroup(in.driveType);
    case Show::IoDeviceOtherDrive:
      return !IoTerminal(in) && !DeviceDriveGroup(in.driveType) && BothDeviceFlags(in);
  }
  return false;
}

bool IsVisible(int controlPage, const Control& c, const ViewInputs& in) {
  if (controlPage != kFramePage && controlPage != in.page) return false;
  return RuleHolds(c.show, in);
}

std::optional<uint32_t> TextIdFor(const Control& c, const ViewInputs& in) {
  switch (c.textRule) {
    case TextRule::Fixed:
      return c.text;
    case TextRule::NotOnEncoder:
      return in.page == kPageEncoder ? 0 : c.text;
    case TextRule::OnlyOnEncoder:
      return in.page == kPageEncoder ? c.text : 0;
    case TextRule::NotOnLinTab:
      return in.page == kPageLinTab ? 0 : c.text;
    case TextRule::DriveState:
      if (In(in.driveType, {4, 16})) return 10017;
      if (in.driveType == 17 || Between(in.driveType, 25, 29) || Between(in.driveType, 36, 38)) {
        return 10016;
      }
      return std::nullopt;
    case TextRule::DriveCtrl:
      if (In(in.encoderType, {7, 24})) return 10030;
      if (in.encoderType == 25 || Between(in.encoderType, 29, 31) ||
          Between(in.encoderType, 33, 35)) {
        return 10029;
      }
      return std::nullopt;
  }
  return c.text;
}

}  // namespace pages::layout
