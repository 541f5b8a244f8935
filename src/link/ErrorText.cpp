#include "link/ErrorText.h"

#include <cinttypes>
#include <cstdio>

namespace axlink {
namespace {

struct CodeText {
  uint32_t code;  // the result code as the wire carries it
  uint32_t stringId;
};

// Result codes of the transport, the controller runtime and the axis server that the box can
// name; everything else is shown as not decoded.
constexpr CodeText kCodes[] = {
    {0x0006, 20002},
    {0x0007, 20003},
    {0x0701, 20004},
    {0x0702, 20005},
    {0x0703, 20006},
    {0x0704, 20007},
    {0x0705, 20008},
    {0x0706, 20009},
    {0x0707, 20010},
    {0x0708, 20011},
    {0x0745, 20012},
    {0x274D, 20013},
    {0x4040, 20014},
    {0x4107, 20015},
    {0x4205, 20016},
    {0x4210, 20017},
    {0x4212, 20018},
    {0x421B, 20019},
    {0x4222, 20020},
    {0x4228, 20021},
    {0x4239, 20022},
    {0x4309, 20023},
    {0x430A, 20024},
    {0x4345, 20025},
    {0x4346, 20026},
    {0x4356, 20027},
    {0x4357, 20028},
    {0x4358, 20029},
    {0x4359, 20030},
    {0x435C, 20031},
    {0x435D, 20032},
    {0x43A0, 20033},
    {0x4401, 20034},
    {0x4406, 20035},
    {0x4414, 20036},
    {0x4422, 20037},
    {0x4442, 20038},
    {0x4443, 20039},
    {0x4470, 20040},
    {0x4601, 20041},
    {0x4605, 20044},
    {0x4642, 20045},
    {0x4643, 20046},
    {0x4650, 20049},
    {0x4A02, 20052},
    {0x4A10, 20055},
    {0x4A15, 20058},
    {0x4B01, 20061},
    {0x4B09, 20064},
    {0x4F00, 20068},
    {0x4F01, 20069},
    {0x4F02, 20070},
    // -1: the record readers and writers do not know the controller's layout version.
    {0xFFFFFFFF, 20071},
};

}  // namespace

std::optional<uint32_t> OxaErrorStringId(int32_t errorCode) {
  const auto wire = static_cast<uint32_t>(errorCode);
  for (const CodeText& c : kCodes) {
    if (c.code == wire) return c.stringId;
  }
  return std::nullopt;
}

std::string BuildOxaErrorText(const i18n::StringTable& strings, bool stopOnError, bool write,
                              int32_t errorCode, uint32_t indexGroup, uint32_t indexOffset) {
  // The error code is a 32-bit value: its hex form is that of the 32-bit pattern (-1 gives
  // FFFFFFFF), whatever the width of long on this platform.
  char request[96];
  std::snprintf(request, sizeof request,
                "( nIdxG=0x%08" PRIX32 ", nIdxO=0x%08" PRIX32 ", nErr=%" PRId32 "(0x%" PRIX32
                ") )\n",
                indexGroup, indexOffset, errorCode, static_cast<uint32_t>(errorCode));

  std::string text;
  text += strings.Text(kIdsAttention);
  text += "\n\n";
  text += strings.Text(kIdsOxaErrorReported);
  text += "\n\n";
  text += "OXA ";
  text += write ? "Write" : "Read";
  text += request;
  text += kOxaErrorPrefix;
  if (auto id = OxaErrorStringId(errorCode)) {
    text += strings.Text(*id);
  } else {
    text += kUndecodedOxaError;
  }
  text += "\n\n";
  if (stopOnError) text += strings.Text(kIdsOxaStopped);
  return text;
}

}  // namespace axlink
