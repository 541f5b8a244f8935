#include "journal/Journal.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unordered_map>

#include "journal/Format.h"

namespace journal {
namespace fs = std::filesystem;

namespace {

// "2025-03" of a UTC time.
std::string MonthOf(int64_t utcMs) {
  return FormatUtc(utcMs).substr(0, 7);
}

// The UTC month a file name stands for, as the time of its first instant; none for names that
// are not month files.
std::optional<int64_t> MonthStart(const std::string& name) {
  if (name.size() != 13 || name.substr(7) != ".jsonl" || name[4] != '-') return std::nullopt;
  const auto t = ParseUtc(name.substr(0, 7) + "-01T00:00:00Z");
  return t;
}

std::string SessionToken() {
  std::random_device rd;
  const uint64_t mix =
      (uint64_t{rd()} << 32) ^ rd() ^ static_cast<uint64_t>(::getpid()) ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::array<char, 17> buf{};
  std::snprintf(buf.data(), buf.size(), "%08llx",
                static_cast<unsigned long long>((mix ^ (mix >> 32)) & 0xFFFFFFFFu));
  return buf.data();
}

std::string ErrnoText(const std::string& what, int err) {
  return what + ": " + std::strerror(err);
}

}  // namespace

std::string DefaultJournalDir() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return std::string(data) + "/axtune/journal";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/share/axtune/journal";
  return {};
}

std::string MonthFileName(int64_t utcMs) {
  return MonthOf(utcMs) + ".jsonl";
}

Stamp SystemStamp() {
  Stamp s;
  const auto now = std::chrono::system_clock::now();
  s.utcMs = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  // The local offset changes at most on a minute boundary: asked once a minute.
  thread_local int64_t minute = INT64_MIN;
  thread_local int32_t offset = 0;
  if (s.utcMs / 60'000 != minute) {
    minute = s.utcMs / 60'000;
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    offset = localtime_r(&t, &local) ? static_cast<int32_t>(local.tm_gmtoff / 60) : 0;
  }
  s.offsetMin = offset;
  return s;
}

Identity CurrentIdentity() {
  Identity id;
  std::array<char, 4096> buf{};
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
      found->pw_name) {
    id.user = found->pw_name;
  } else if (const char* user = std::getenv("USER")) {
    id.user = user;
  }
  std::array<char, 256> host{};
  if (::gethostname(host.data(), host.size() - 1) == 0) id.host = host.data();
  return id;
}

Writer::Writer(std::string dir, std::function<Stamp()> clock)
    : dir_(std::move(dir)), clock_(std::move(clock)), session_(SessionToken()) {}

Writer::~Writer() {
  Flush();
  if (fd_ >= 0) ::close(fd_);
}

bool Writer::Open(const std::string& month) {
  if (fd_ >= 0 && month == month_) return true;
  // A result held back belongs to the file of its entry.
  Flush();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  monthStartMs_ = monthEndMs_ = 0;
  if (dir_.empty()) {
    error_ = "no journal directory (neither XDG_DATA_HOME nor HOME is set)";
    return false;
  }
  std::error_code ec;
  fs::create_directories(dir_, ec);
  const std::string path = dir_ + "/" + month + ".jsonl";
  const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error_ = ErrnoText(path, errno);
    return false;
  }
  // A line cut off by a crash would swallow the next entry: end it first.
  struct stat st {};
  char last = '\n';
  if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) != 1) {
    last = '\n';
  }
  fd_ = fd;
  month_ = month;
  return last == '\n' || Write("\n");
}

bool Writer::Write(const std::string& line) {
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = ErrnoText(dir_ + "/" + month_ + ".jsonl", n < 0 ? errno : EIO);
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

bool Writer::Append(Entry& entry) {
  const Stamp now = clock_();
  entry.timeMs = now.utcMs;
  entry.utcOffsetMin = now.offsetMin;
  entry.id = session_ + "-" + std::to_string(++counter_);
  if (now.utcMs < monthStartMs_ || now.utcMs >= monthEndMs_) {
    const std::string month = MonthOf(now.utcMs);
    if (!Open(month)) return false;
    monthStartMs_ = *ParseUtc(month + "-01T00:00:00Z");
    monthEndMs_ = *ParseUtc(MonthOf(monthStartMs_ + 32LL * 86'400'000) + "-01T00:00:00Z");
  }
  line_.clear();
  line_ += pending_;
  EncodeEntryLine(entry, line_);
  if (!Write(line_)) return false;
  pending_.clear();
  return true;
}

bool Writer::AppendResult(const std::string& id, int32_t result) {
  if (fd_ < 0) {
    error_ = "no journal file is open";
    return false;
  }
  pending_ += EncodeResultLine(id, result);
  return result == 0 || Flush();
}

bool Writer::Flush() {
  if (pending_.empty() || fd_ < 0) return true;
  if (!Write(pending_)) return false;
  pending_.clear();
  return true;
}

std::string WarningText(const Warning& w) {
  const char* what = "damaged entry skipped";
  switch (w.kind) {
    case WarningKind::TornLine:
      what = "incomplete last entry skipped";
      break;
    case WarningKind::CorruptLine:
      break;
    case WarningKind::OrphanResult:
      what = "result without its entry skipped";
      break;
    case WarningKind::Unreadable:
      return w.file + ": cannot be read";
  }
  return w.file + ", line " + std::to_string(w.line) + ": " + what;
}

std::optional<int64_t> ParseDateArg(std::string_view text, bool endOfDay) {
  if (!text.empty() && text.back() == 'Z') {
    std::string utc(text);
    if (utc.size() == 17) utc.insert(16, ":00");  // "2025-03-01T14:30Z"
    return ParseUtc(utc);
  }
  // The local fields are checked through the UTC parser, then handed to mktime.
  std::string full(text);
  const bool dateOnly = full.size() == 10;
  if (dateOnly) full += "T00:00:00";
  if (full.size() == 16) full += ":00";
  const auto asUtc = ParseUtc(full + "Z");
  if (!asUtc) return std::nullopt;
  int64_t y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(*asUtc / 86'400'000, y, m, d);
  const int64_t secOfDay = *asUtc % 86'400'000 / 1000;
  std::tm local{};
  local.tm_year = static_cast<int>(y - 1900);
  local.tm_mon = static_cast<int>(m) - 1;
  local.tm_mday = static_cast<int>(d) + (dateOnly && endOfDay ? 1 : 0);
  local.tm_hour = static_cast<int>(secOfDay / 3600);
  local.tm_min = static_cast<int>(secOfDay / 60 % 60);
  local.tm_sec = static_cast<int>(secOfDay % 60);
  local.tm_isdst = -1;
  const std::time_t t = std::mktime(&local);
  if (t == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<int64_t>(t) * 1000;
}

bool Filter::Matches(const Entry& e) const {
  return (!axis || e.axis == *axis) && (!port || e.port == *port) &&
         (!netId || e.netId == *netId) && (!sinceMs || e.timeMs >= *sinceMs) &&
         (!untilMs || e.timeMs < *untilMs);
}

void ParseJournalText(std::string_view text, const std::string& file, const Filter& filter,
                      ReadResult& out) {
  // Entry id -> its place in out.entries; SIZE_MAX for an entry the filter dropped.
  std::unordered_map<std::string, size_t> byId;
  size_t lineNo = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    ++lineNo;
    const size_t nl = text.find('\n', pos);
    const bool last = nl == std::string_view::npos;
    std::string_view line = text.substr(pos, last ? std::string_view::npos : nl - pos);
    pos = last ? text.size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;

    auto parsed = ParseLine(line);
    if (auto* e = std::get_if<Entry>(&parsed)) {
      if (filter.Matches(*e)) {
        byId[e->id] = out.entries.size();
        out.entries.push_back(std::move(*e));
      } else {
        byId[e->id] = SIZE_MAX;
      }
    } else if (auto* r = std::get_if<ResultLine>(&parsed)) {
      const auto it = byId.find(r->id);
      if (it == byId.end()) {
        out.warnings.push_back({WarningKind::OrphanResult, file, lineNo});
      } else if (it->second != SIZE_MAX) {
        out.entries[it->second].result = r->result;
      }
    } else {
      out.warnings.push_back(
          {last ? WarningKind::TornLine : WarningKind::CorruptLine, file, lineNo});
    }
  }
}

ReadResult ReadJournal(const std::string& dir, const Filter& filter) {
  ReadResult out;
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(dir, ec)) {
    const std::string name = item.path().filename().string();
    const auto start = MonthStart(name);
    if (!start || !item.is_regular_file(ec)) continue;
    // A month that ends before `since` or starts at or after `until` holds nothing wanted.
    const auto nextMonth = ParseUtc(MonthOf(*start + 32LL * 86'400'000) + "-01T00:00:00Z");
    if (filter.sinceMs && nextMonth && *nextMonth <= *filter.sinceMs) continue;
    if (filter.untilMs && *start >= *filter.untilMs) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
      // An empty file gives no bytes to copy; that is not an error.
      if (in && fs::file_size(dir + "/" + name, ec) == 0) continue;
      out.warnings.push_back({WarningKind::Unreadable, name, 0});
      continue;
    }
    ParseJournalText(text.view(), name, filter, out);
  }
  std::stable_sort(out.entries.begin(), out.entries.end(),
                   [](const Entry& a, const Entry& b) { return a.timeMs < b.timeMs; });
  return out;
}

}  // namespace journal
