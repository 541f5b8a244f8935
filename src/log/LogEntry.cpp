#include "log/LogEntry.h"

#include <algorithm>
#include <cstring>

#include "oxa/Bytes.h"
#include "oxa/Oxa.h"

namespace msglog {

namespace {

inline constexpr int kNone = -1;

// Byte offsets of the fields of one entry layout; kNone for a field the layout lacks.
struct EntryLayout {
  int version;
  uint32_t length;
  int timeStamp;
  int msgClass;
  int msgClass2;
  int formatText;
  int argType;
  int intArg;
  int realArg;
  int textArg;
};

constexpr std::array<EntryLayout, 4> kLayouts{{
    // version, length, stamp, class, class2, format, argType, int, real, text
    {1, 530, kNone, 0, kNone, 4, 260, 262, 266, 274},
    {2, 538, 0, 8, kNone, 12, 268, 270, 274, 282},
    {3, 542, 0, 8, 12, 16, 272, 274, 278, 286},
    {4, 544, 8, 16, 20, 24, 280, 284, 0, 288},
}};

const EntryLayout* Find(int layout) {
  for (const auto& l : kLayouts) {
    if (l.version == layout) return &l;
  }
  return nullptr;
}

template <class T>
T Field(std::span<const uint8_t> wire, int offset) {
  if (offset == kNone) return T{};
  return oxa::bytes::At<T>(wire, static_cast<size_t>(offset));
}

void CopyText(std::span<const uint8_t> wire, int offset, std::array<char, kTextCapacity>& out) {
  out.fill('\0');
  const auto src = wire.subspan(static_cast<size_t>(offset), kTextCapacity - 1);
  // Stop at the first zero: the bytes after a terminator are the controller's leftovers.
  const auto end = std::find(src.begin(), src.end(), uint8_t{0});
  std::transform(src.begin(), end, out.begin(), [](uint8_t b) { return static_cast<char>(b); });
}

}  // namespace

std::string_view LogEntry::Format() const {
  return {FormatText.data(), ::strnlen(FormatText.data(), kTextCapacity)};
}

std::string_view LogEntry::Text() const {
  return {TextArg.data(), ::strnlen(TextArg.data(), kTextCapacity)};
}

uint32_t LogEntryLength(int layout) {
  const EntryLayout* l = Find(layout);
  return l ? l->length : 0;
}

int32_t DecodeLogEntry(int layout, std::span<const uint8_t> wire, LogEntry& out) {
  const EntryLayout* l = Find(layout);
  if (!l) return oxa::kErrLayoutUnsupported;
  if (wire.size() < l->length) return oxa::kErrInvalidSize;
  LogEntry e;
  e.TimeStamp = Field<uint64_t>(wire, l->timeStamp);
  e.MsgClass = Field<int32_t>(wire, l->msgClass);
  e.MsgClass2 = Field<int32_t>(wire, l->msgClass2);
  e.ArgType = Field<int16_t>(wire, l->argType);
  e.IntArg = Field<int32_t>(wire, l->intArg);
  e.RealArg = Field<double>(wire, l->realArg);
  CopyText(wire, l->formatText, e.FormatText);
  CopyText(wire, l->textArg, e.TextArg);
  out = e;
  return oxa::kOk;
}

void SetText(std::array<char, kTextCapacity>& field, std::string_view text) {
  field.fill('\0');
  const size_t n = std::min(text.size(), kTextCapacity - 1);
  std::copy_n(text.begin(), n, field.begin());
}

}  // namespace msglog
