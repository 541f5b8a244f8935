#include "log/LogEntry.h"

#include <algorithm>
#include <cstring>

#include "oxa/Bytes.h"
#include "oxa/Oxa.h"

namespace msglog {

namespace {

constexpr int kNone = kNoField;

constexpr bool FieldFits(int offset, size_t size, uint32_t length) {
  return offset == kNone || (offset >= 0 && static_cast<size_t>(offset) + size <= length);
}

// Every field of every layout lies inside the entry.
constexpr bool Fits(const EntryLayout& l) {
  return FieldFits(l.timeStamp, sizeof(uint64_t), l.length) &&
         FieldFits(l.msgClass, sizeof(int32_t), l.length) &&
         FieldFits(l.msgClass2, sizeof(int32_t), l.length) &&
         FieldFits(l.formatText, kTextCapacity, l.length) &&
         FieldFits(l.argType, sizeof(int16_t), l.length) &&
         FieldFits(l.intArg, sizeof(int32_t), l.length) &&
         FieldFits(l.realArg, sizeof(double), l.length) &&
         FieldFits(l.textArg, kTextCapacity, l.length) && l.formatText != kNone &&
         l.textArg != kNone;
}
static_assert(std::ranges::all_of(kEntryLayouts, Fits), "every field lies inside its entry");

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

const EntryLayout* FindEntryLayout(int layout) {
  for (const auto& l : kEntryLayouts) {
    if (l.version == layout) return &l;
  }
  return nullptr;
}

uint32_t LogEntryLength(int layout) {
  const EntryLayout* l = FindEntryLayout(layout);
  return l ? l->length : 0;
}

int32_t DecodeLogEntry(int layout, std::span<const uint8_t> wire, LogEntry& out) {
  const EntryLayout* l = FindEntryLayout(layout);
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
