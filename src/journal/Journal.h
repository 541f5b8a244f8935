// The journal on disk: one JSON Lines file per month ("2025-03.jsonl", by the UTC month of its
// entries) in the user's data directory, appended by every running Axtune and axtune-cli.
//
// An entry is handed to the kernel with one write(2) before its request goes out, so a crash of
// the program loses nothing that reached the controller; the journal does not wait for the disk
// (no fsync), which would cost more than the request itself. Appends go through O_APPEND, so lines
// of programs writing at the same time do not mix.
//
// A failed request's result is written as soon as it is known. A success goes out with the next
// entry's write, at Flush() or when the writer goes, so that a request costs one write(2); after a
// crash a success can thus read as "no answer", never a failure as a success.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "journal/Entry.h"

namespace journal {

// $XDG_DATA_HOME/axtune/journal, or ~/.local/share/axtune/journal when that is not set; empty
// when neither gives an absolute path.
std::string DefaultJournalDir();

// "2025-03.jsonl": the file of the UTC month of `utcMs`.
std::string MonthFileName(int64_t utcMs);

// When an entry is made: the UTC time and the local offset then.
struct Stamp {
  int64_t utcMs = 0;
  int32_t offsetMin = 0;
};
Stamp SystemStamp();

// Who makes the entries: the user's login name and the host name.
struct Identity {
  std::string user;
  std::string host;
};
Identity CurrentIdentity();

class Writer {
 public:
  explicit Writer(std::string dir, std::function<Stamp()> clock = SystemStamp);
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Gives the entry its id and time and appends it to the file of its month, after the result
  // still held back. False when it could not be written; LastError() says why.
  bool Append(Entry& entry);
  // The result of the entry `id`, for the file of the last appended entry: written at once when
  // it is not 0, else held back until the next write.
  bool AppendResult(const std::string& id, int32_t result);
  // Writes the result held back, if any.
  bool Flush();

  const std::string& Dir() const { return dir_; }
  const std::string& LastError() const { return error_; }

 private:
  bool Open(const std::string& month);
  bool Write(const std::string& line);

  std::string dir_;
  std::function<Stamp()> clock_;
  std::string session_;
  uint64_t counter_ = 0;
  int fd_ = -1;
  std::string month_;
  int64_t monthStartMs_ = 0;  // the UTC range of the open file's month
  int64_t monthEndMs_ = 0;
  std::string error_;
  std::string line_;     // the bytes of the next write, kept to reuse its memory
  std::string pending_;  // a success's result line, held back
};

// Why a line was skipped.
enum class WarningKind : uint8_t {
  TornLine,      // the file's last line, cut off while it was written
  CorruptLine,   // a line that is not an entry or result of the journal
  OrphanResult,  // a result whose entry is not in the file
  Unreadable,    // the file could not be read (line 0)
};

struct Warning {
  WarningKind kind = WarningKind::CorruptLine;
  std::string file;  // the file's name within the journal directory
  size_t line = 0;   // 1-based
  friend bool operator==(const Warning&, const Warning&) = default;
};

// English text of a warning: "2025-03.jsonl, line 7: damaged entry skipped".
std::string WarningText(const Warning& w);

// A date the user typed, as UTC ms: "2025-03-01" (local midnight; with `endOfDay` the midnight
// after it), "2025-03-01T14:30" or "2025-03-01T14:30:15" (local time), or a UTC time ending in
// "Z". None for anything else.
std::optional<int64_t> ParseDateArg(std::string_view text, bool endOfDay = false);

struct Filter {
  std::optional<int32_t> axis;
  std::optional<uint16_t> port;
  std::optional<oxa::NetId> netId;
  std::optional<int64_t> sinceMs;  // inclusive, UTC
  std::optional<int64_t> untilMs;  // exclusive, UTC
  bool Matches(const Entry& e) const;
};

struct ReadResult {
  std::vector<Entry> entries;  // oldest first
  std::vector<Warning> warnings;
};

// Adds the entries of one file's text to `out`, results joined to their entries; `file` names it
// in warnings. Entries that `filter` rejects are dropped.
void ParseJournalText(std::string_view text, const std::string& file, const Filter& filter,
                      ReadResult& out);

// Every month file of `dir` that the filter's time range reaches, oldest first. A directory that
// does not exist is an empty journal.
ReadResult ReadJournal(const std::string& dir, const Filter& filter = {});

}  // namespace journal
