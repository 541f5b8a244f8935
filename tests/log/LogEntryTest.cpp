// Entry layouts against byte images built by hand from the layout tables.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "log/LogEntry.h"
#include "oxa/Oxa.h"

namespace {

using msglog::DecodeLogEntry;
using msglog::LogEntry;

// Offsets written down from the wire tables; -1 where the layout has no such field.
struct Golden {
  int layout;
  size_t length;
  int stamp, cls, cls2, format, argType, intArg, realArg, text;
};

constexpr Golden kGolden[] = {
    {1, 530, -1, 0, -1, 4, 260, 262, 266, 274},
    {2, 538, 0, 8, -1, 12, 268, 270, 274, 282},
    {3, 542, 0, 8, 12, 16, 272, 274, 278, 286},
    {4, 544, 8, 16, 20, 24, 280, 284, 0, 288},
};

void PutLe(std::vector<uint8_t>& b, int off, uint64_t v, int width) {
  if (off < 0) return;
  for (int i = 0; i < width; ++i)
    b[static_cast<size_t>(off + i)] = static_cast<uint8_t>(v >> (8 * i));
}

void PutStr(std::vector<uint8_t>& b, int off, const char* s) {
  std::memcpy(b.data() + off, s, std::strlen(s));
}

std::vector<uint8_t> Image(const Golden& g) {
  std::vector<uint8_t> b(g.length, 0);
  PutLe(b, g.stamp, 0x01D9'1234'5678'9ABCull, 8);
  PutLe(b, g.cls, 0xFFFFFFFEu, 4);  // -2
  PutLe(b, g.cls2, 7, 4);
  PutStr(b, g.format, "Position %d reached");
  PutLe(b, g.argType, 0xFFFF, 2);  // -1
  PutLe(b, g.intArg, 0x80000001u, 4);
  double real = -12.5;
  uint64_t bits = 0;
  std::memcpy(&bits, &real, 8);
  PutLe(b, g.realArg, bits, 8);
  PutStr(b, g.text, "Clamp left");
  return b;
}

TEST(LogEntry, EachLayoutDecodesItsFieldsAndZeroesTheMissingOnes) {
  for (const Golden& g : kGolden) {
    SCOPED_TRACE(g.layout);
    EXPECT_EQ(msglog::LogEntryLength(g.layout), g.length);
    const auto wire = Image(g);
    LogEntry e;
    e.MsgClass2 = 99;  // must be overwritten, also by layouts without it
    ASSERT_EQ(DecodeLogEntry(g.layout, wire, e), oxa::kOk);
    EXPECT_EQ(e.TimeStamp, g.stamp < 0 ? 0u : 0x01D9'1234'5678'9ABCull);
    EXPECT_EQ(e.MsgClass, -2);
    EXPECT_EQ(e.MsgClass2, g.cls2 < 0 ? 0 : 7);
    EXPECT_EQ(e.Format(), "Position %d reached");
    EXPECT_EQ(e.ArgType, -1);
    EXPECT_EQ(e.IntArg, INT32_MIN + 1);
    EXPECT_EQ(e.RealArg, -12.5);
    EXPECT_EQ(e.Text(), "Clamp left");
  }
}

TEST(LogEntry, RejectsUnknownLayoutsAndShortBlocksWithoutTouchingTheEntry) {
  std::vector<uint8_t> wire(600, 0x41);
  LogEntry e;
  e.IntArg = 42;
  for (int layout : {0, -1, 5, 32767}) {
    EXPECT_EQ(msglog::LogEntryLength(layout), 0u);
    EXPECT_EQ(DecodeLogEntry(layout, wire, e), oxa::kErrLayoutUnsupported) << layout;
  }
  for (const Golden& g : kGolden) {
    std::vector<uint8_t> shortWire(g.length - 1, 0x41);
    EXPECT_EQ(DecodeLogEntry(g.layout, shortWire, e), oxa::kErrInvalidSize) << g.layout;
  }
  EXPECT_EQ(e.IntArg, 42);
}

TEST(LogEntry, UnterminatedTextsAreCutTo255BytesAndTerminated) {
  for (const Golden& g : kGolden) {
    SCOPED_TRACE(g.layout);
    std::vector<uint8_t> wire(g.length, 'x');  // no zero anywhere, not even after the texts
    LogEntry e;
    ASSERT_EQ(DecodeLogEntry(g.layout, wire, e), oxa::kOk);
    EXPECT_EQ(e.Format(), std::string(255, 'x'));
    EXPECT_EQ(e.Text(), std::string(255, 'x'));
    EXPECT_EQ(e.FormatText[255], '\0');
    EXPECT_EQ(e.TextArg[255], '\0');
  }
}

}  // namespace
