// One entry of an axis server's message log and its wire layouts.
//
// The server answers an entry in one of four packed little-endian layouts, chosen by word 3 of
// its record version table. Every layout is converted into the one in-memory form `LogEntry`
// (the field set of layout 4); a field that a layout lacks is 0.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace msglog {

inline constexpr size_t kTextCapacity = 256;

struct LogEntry {
  double RealArg = 0.0;
  uint64_t TimeStamp = 0;  // file time: 100 ns units since 1601-01-01, universal time
  int32_t MsgClass = 0;
  int32_t MsgClass2 = 0;                         // the second class word of layouts 3 and 4
  std::array<char, kTextCapacity> FormatText{};  // always zero-terminated
  int16_t ArgType = 0;  // 1 integer, 2 real, 3 text, anything else: no argument
  int32_t IntArg = 0;
  std::array<char, kTextCapacity> TextArg{};  // always zero-terminated

  std::string_view Format() const;
  std::string_view Text() const;
};

// Byte offsets of the fields of one entry layout; kNoField for a field the layout lacks. The two
// texts are kTextCapacity bytes wide. The log reader and the emulator's log both use this table.
inline constexpr int kNoField = -1;
struct EntryLayout {
  int version;
  uint32_t length;
  int timeStamp;  // uint64
  int msgClass;   // int32
  int msgClass2;  // int32
  int formatText;
  int argType;  // int16
  int intArg;   // int32
  int realArg;  // double
  int textArg;
};

inline constexpr std::array<EntryLayout, 4> kEntryLayouts{{
    // version, length, stamp, class, class2, format, argType, int, real, text
    {1, 530, kNoField, 0, kNoField, 4, 260, 262, 266, 274},
    {2, 538, 0, 8, kNoField, 12, 268, 270, 274, 282},
    {3, 542, 0, 8, 12, 16, 272, 274, 278, 286},
    {4, 544, 8, 16, 20, 24, 280, 284, 0, 288},
}};

// The layout of version `layout`; null for a version without one.
const EntryLayout* FindEntryLayout(int layout);

// Wire length of an entry in layout 1 to 4; 0 for any other layout (layout 0 keeps no entries).
uint32_t LogEntryLength(int layout);

// Whether entries of this layout carry a time stamp (layouts 2 to 4).
constexpr bool LayoutHasTimeStamp(int layout) {
  return layout >= 2 && layout <= 4;
}

// Converts one entry as the server sent it. Returns 0, -1 for a layout other than 1 to 4, or
// 0x705 when `wire` is shorter than the layout (then `out` is untouched). Texts are cut to 255
// bytes and always terminated, whatever the controller sent.
int32_t DecodeLogEntry(int layout, std::span<const uint8_t> wire, LogEntry& out);

// Sets a text field from `text`, cut to 255 bytes, the rest zero.
void SetText(std::array<char, kTextCapacity>& field, std::string_view text);

}  // namespace msglog
