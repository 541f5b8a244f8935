// What the axis commands send: the command group and offsets, and the two command blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "model/ParamRecord.h"

namespace axlink {

inline constexpr uint32_t kCommandGroup = 0x80004200;  // + axis number

inline constexpr uint32_t kCmdReset = 1;
inline constexpr uint32_t kCmdStop = 2;
inline constexpr uint32_t kCmdHome = 16;
inline constexpr uint32_t kCmdSetPosition = 26;
inline constexpr uint32_t kCmdMove = 33;
inline constexpr uint32_t kCmdSaveParams = 0xFFFF0001;
inline constexpr uint32_t kCmdLoadParams = 0xFFFF0002;
inline constexpr uint32_t kCmdCharacteristicRun = 0xFFFF0003;

// Move modes.
inline constexpr int32_t kMoveCharacteristic = 0;
inline constexpr int32_t kMoveToPosition = 1;
inline constexpr int32_t kMoveJogPositive = 3;
inline constexpr int32_t kMoveJogNegative = 4;

// Numbers of the menu settings.
inline constexpr uint16_t kParamLogLevel = model::kParamNoLogLevel;
inline constexpr uint16_t kParamLatch = model::kParamNoLatch;
inline constexpr uint16_t kParamReferenceFlag = model::kParamNoReferenceFlag;

// 20 bytes: mode (int32), position (double, mm), velocity (double, mm/s), little-endian, packed.
struct MoveBlock {
  static constexpr size_t kSize = 20;
  int32_t mode = 0;
  double position = 0;
  double velocity = 0;

  std::array<uint8_t, kSize> Encode() const;
};

// 12 bytes: the int32 1, then the new actual position (double, mm).
std::array<uint8_t, 12> EncodeSetPosition(double position);

}  // namespace axlink
