// Groups of encoder types (ParamRecord::EncoderType) that several layers tell apart.
#pragma once

namespace model {

// Encoders read through the drive device (types 7, 24, 25, 29 and 31): their terminal images
// come with the drive's device records, and no encoder image of their own is read.
constexpr bool IsDriveDeviceEncoder(int encoderType) {
  return encoderType == 7 || encoderType == 24 || encoderType == 25 || encoderType == 29 ||
         encoderType == 31;
}

}  // namespace model
