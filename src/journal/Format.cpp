#include "journal/Format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

#include "i18n/Utf8.h"

namespace journal {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;
constexpr int32_t kMaxOffsetMin = 18 * 60;
// Times from year 1 to 9999: anything else is not a journal time.
const int64_t kMinMs = DaysFromCivil(1, 1, 1) * kMsPerDay;
const int64_t kMaxMs = DaysFromCivil(10000, 1, 1) * kMsPerDay - 1;
// Arguments of a command: no entry of ours has more.
constexpr size_t kMaxArgs = 32;

void PutEscaped(std::string& out, std::string_view utf8) {
  size_t run = 0;  // start of the characters that go out as they are
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7F) continue;
    out.append(utf8.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default: {
        static constexpr char kHex[] = "0123456789abcdef";
        const char esc[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        out.append(esc, sizeof esc);
      }
    }
  }
  out.append(utf8.data() + run, utf8.size() - run);
}

void PutString(std::string& out, std::string_view text) {
  out += '"';
  if (i18n::IsUtf8(text)) {
    PutEscaped(out, text);
  } else {
    PutEscaped(out, i18n::Latin1ToUtf8(text));
  }
  out += '"';
}

void PutNumber(std::string& out, std::optional<double> v) {
  if (!v || !std::isfinite(*v)) {
    out += "null";
    return;
  }
  out += FormatNumber(*v);
}

template <class T>
void PutInteger(std::string& out, T v) {
  std::array<char, 24> buf{};
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  out.append(buf.data(), r.ptr);
}

// ,"key":[{"no":…,"name":…,"before":…,"value":…},…]
void PutChanges(std::string& out, const char* key, const std::vector<Change>& changes) {
  out += ",\"";
  out += key;
  out += "\":[";
  for (size_t i = 0; i < changes.size(); ++i) {
    const Change& c = changes[i];
    out += i ? ",{\"no\":" : "{\"no\":";
    PutInteger(out, c.no);
    out += ",\"name\":";
    PutString(out, c.name);
    out += ",\"before\":";
    PutNumber(out, c.before);
    out += ",\"value\":";
    PutNumber(out, c.value);
    out += '}';
  }
  out += ']';
}

// Reads exactly `n` decimal digits at `pos`.
bool Digits(std::string_view text, size_t pos, size_t n, int64_t& value) {
  if (pos + n > text.size()) return false;
  value = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

using Json = nlohmann::json;

// The member `key` as a string; false when present with another type.
bool GetString(const Json& j, const char* key, std::string& out) {
  const auto it = j.find(key);
  if (it == j.end()) return true;
  if (!it->is_string()) return false;
  out = it->get<std::string>();
  return true;
}

std::optional<int64_t> GetInteger(const Json& j, const char* key, int64_t min, int64_t max) {
  const auto it = j.find(key);
  if (it == j.end() || !it->is_number_integer()) return std::nullopt;
  const int64_t v =
      it->is_number_unsigned()
          ? static_cast<int64_t>(std::min<uint64_t>(it->get<uint64_t>(), uint64_t{INT64_MAX}))
          : it->get<int64_t>();
  if (v < min || v > max) return std::nullopt;
  return v;
}

// A number or null; false for any other type.
bool GetOptionalNumber(const Json& j, const char* key, std::optional<double>& out) {
  const auto it = j.find(key);
  if (it == j.end() || it->is_null()) return true;
  if (!it->is_number()) return false;
  out = it->get<double>();
  return true;
}

// An absent list is empty.
bool GetChanges(const Json& j, const char* key, std::vector<Change>& out) {
  const auto it = j.find(key);
  if (it == j.end()) return true;
  if (!it->is_array()) return false;
  for (const Json& c : *it) {
    if (!c.is_object()) return false;
    Change change;
    const auto no = GetInteger(c, "no", 0, UINT16_MAX);
    if (!no || !GetString(c, "name", change.name) ||
        !GetOptionalNumber(c, "before", change.before) ||
        !GetOptionalNumber(c, "value", change.value)) {
      return false;
    }
    change.no = static_cast<uint16_t>(*no);
    out.push_back(std::move(change));
  }
  return true;
}

std::optional<Entry> ParseEntry(const Json& j) {
  Entry e;
  if (!GetString(j, "id", e.id) || e.id.empty()) return std::nullopt;
  std::string text;
  if (!GetString(j, "time", text)) return std::nullopt;
  const auto time = ParseUtc(text);
  if (!time) return std::nullopt;
  e.timeMs = *time;
  text = "+00:00";
  if (!GetString(j, "utcOffset", text)) return std::nullopt;
  const auto offset = ParseOffset(text);
  if (!offset) return std::nullopt;
  e.utcOffsetMin = *offset;
  text.clear();
  if (!GetString(j, "netId", text)) return std::nullopt;
  const auto netId = oxa::NetId::Parse(text);
  if (!netId) return std::nullopt;
  e.netId = *netId;
  const auto port = GetInteger(j, "port", 0, UINT16_MAX);
  const auto axis = GetInteger(j, "axis", -1, INT32_MAX);
  if (!port || !axis) return std::nullopt;
  e.port = static_cast<uint16_t>(*port);
  e.axis = static_cast<int32_t>(*axis);
  if (!GetString(j, "user", e.user) || !GetString(j, "host", e.host) ||
      !GetString(j, "route", e.route) || !GetString(j, "axisName", e.axisName) ||
      !GetString(j, "op", e.op) || e.op.empty()) {
    return std::nullopt;
  }
  if (!GetChanges(j, "changes", e.changes) || !GetChanges(j, "applied", e.applied)) {
    return std::nullopt;
  }
  if (j.contains("end") && !GetString(j, "end", e.end)) return std::nullopt;
  if (const auto it = j.find("args"); it != j.end()) {
    if (!it->is_object() || it->size() > kMaxArgs) return std::nullopt;
    for (const auto& [key, value] : it->items()) {
      if (value.is_number()) {
        e.args.emplace_back(key, value.get<double>());
        continue;
      }
      const auto nonFinite =
          value.is_string() ? ParseNonFiniteArg(value.get<std::string>()) : std::nullopt;
      if (!nonFinite) return std::nullopt;
      e.args.emplace_back(key, *nonFinite);
    }
  }
  return e;
}

}  // namespace

std::string FormatNumber(double v) {
  if (!std::isfinite(v)) return "null";
  std::array<char, 32> buf{};
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return std::string(buf.data(), r.ptr);
}

std::string FormatArg(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  // "-0" would read back as the integer 0.
  if (v == 0 && std::signbit(v)) return "-0.0";
  return FormatNumber(v);
}

std::optional<double> ParseNonFiniteArg(std::string_view text) {
  if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
  if (text == "inf") return std::numeric_limits<double>::infinity();
  if (text == "-inf") return -std::numeric_limits<double>::infinity();
  return std::nullopt;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t days, int64_t& y, unsigned& m, unsigned& d) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

namespace {

// Appends `v` as `width` decimal digits (v >= 0, fits the width).
void PutDigits(std::string& out, int64_t v, int width) {
  char buf[8];
  for (int i = width - 1; i >= 0; --i) {
    buf[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  out.append(buf, static_cast<size_t>(width));
}

// "YYYY-MM-DD<sep>HH:MM:SS" of a time in ms, and the milliseconds left over.
std::string FormatCivil(int64_t ms, char sep, int64_t& msOfSecond) {
  int64_t days = ms / kMsPerDay;
  int64_t rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  int64_t y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  const auto sec = rest / 1000;
  msOfSecond = rest % 1000;
  std::string out;
  out.reserve(24);
  PutDigits(out, std::clamp<int64_t>(y, 0, 9999), 4);
  out += '-';
  PutDigits(out, m, 2);
  out += '-';
  PutDigits(out, d, 2);
  out += sep;
  PutDigits(out, sec / 3600, 2);
  out += ':';
  PutDigits(out, sec / 60 % 60, 2);
  out += ':';
  PutDigits(out, sec % 60, 2);
  return out;
}

}  // namespace

std::string FormatUtc(int64_t ms) {
  int64_t frac = 0;
  std::string text = FormatCivil(ms, 'T', frac);
  text += '.';
  PutDigits(text, frac, 3);
  text += 'Z';
  return text;
}

std::optional<int64_t> ParseUtc(std::string_view t) {
  int64_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!Digits(t, 0, 4, y) || t.size() < 20 || t[4] != '-' || !Digits(t, 5, 2, mo) || t[7] != '-' ||
      !Digits(t, 8, 2, d) || t[10] != 'T' || !Digits(t, 11, 2, h) || t[13] != ':' ||
      !Digits(t, 14, 2, mi) || t[16] != ':' || !Digits(t, 17, 2, s)) {
    return std::nullopt;
  }
  size_t pos = 19;
  int64_t frac = 0;
  if (t[pos] == '.') {
    size_t n = 0;
    while (pos + 1 + n < t.size() && n < 4 && t[pos + 1 + n] >= '0' && t[pos + 1 + n] <= '9') ++n;
    if (n == 0 || n > 3 || !Digits(t, pos + 1, n, frac)) return std::nullopt;
    for (size_t k = n; k < 3; ++k) frac *= 10;
    pos += 1 + n;
  }
  if (pos + 1 != t.size() || t[pos] != 'Z') return std::nullopt;
  static constexpr unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] || h > 23 || mi > 59 || s > 59) {
    return std::nullopt;
  }
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (mo == 2 && d == 29 && !leap) return std::nullopt;
  const int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
  return days * kMsPerDay + ((h * 60 + mi) * 60 + s) * 1000 + frac;
}

std::string FormatOffset(int32_t minutes) {
  const int32_t a = std::min(minutes < 0 ? -minutes : minutes, kMaxOffsetMin);
  std::string out(1, minutes < 0 ? '-' : '+');
  PutDigits(out, a / 60, 2);
  out += ':';
  PutDigits(out, a % 60, 2);
  return out;
}

std::optional<int32_t> ParseOffset(std::string_view t) {
  int64_t h = 0, m = 0;
  if (t.size() != 6 || (t[0] != '+' && t[0] != '-') || !Digits(t, 1, 2, h) || t[3] != ':' ||
      !Digits(t, 4, 2, m) || m > 59) {
    return std::nullopt;
  }
  const auto minutes = static_cast<int32_t>(h * 60 + m);
  if (minutes > kMaxOffsetMin) return std::nullopt;
  return t[0] == '-' ? -minutes : minutes;
}

std::string FormatLocal(int64_t utcMs, int32_t offsetMin) {
  int64_t frac = 0;
  return FormatCivil(utcMs + int64_t{offsetMin} * 60'000, ' ', frac) + " " +
         FormatOffset(offsetMin);
}

std::string EncodeEntryLine(const Entry& e) {
  std::string out;
  EncodeEntryLine(e, out);
  return out;
}

void EncodeEntryLine(const Entry& e, std::string& out) {
  out += "{\"id\":";
  PutString(out, e.id);
  out += ",\"time\":\"";
  out += FormatUtc(e.timeMs);
  out += "\",\"utcOffset\":\"";
  out += FormatOffset(e.utcOffsetMin);
  out += "\",\"user\":";
  PutString(out, e.user);
  out += ",\"host\":";
  PutString(out, e.host);
  out += ",\"netId\":\"";
  for (size_t i = 0; i < e.netId.b.size(); ++i) {
    if (i) out += '.';
    PutInteger(out, e.netId.b[i]);
  }
  out += "\",\"route\":";
  PutString(out, e.route);
  out += ",\"port\":";
  PutInteger(out, e.port);
  out += ",\"axis\":";
  PutInteger(out, e.axis);
  out += ",\"axisName\":";
  PutString(out, e.axisName);
  out += ",\"op\":";
  PutString(out, e.op);
  PutChanges(out, "changes", e.changes);
  if (!e.applied.empty()) PutChanges(out, "applied", e.applied);
  if (!e.end.empty()) {
    out += ",\"end\":";
    PutString(out, e.end);
  }
  out += ",\"args\":{";
  for (size_t i = 0; i < e.args.size(); ++i) {
    if (i) out += ',';
    PutString(out, e.args[i].first);
    out += ':';
    const double v = e.args[i].second;
    if (std::isfinite(v)) {
      out += FormatArg(v);
    } else {
      out += '"';
      out += FormatArg(v);
      out += '"';
    }
  }
  out += "}}\n";
}

std::string EncodeResultLine(std::string_view id, int32_t result) {
  std::string out = "{\"id\":";
  PutString(out, id);
  out += ",\"result\":";
  PutInteger(out, result);
  out += "}\n";
  return out;
}

std::variant<std::monostate, Entry, ResultLine> ParseLine(std::string_view line) {
  if (line.size() > kMaxLineBytes) return {};
  const Json j = Json::parse(line.begin(), line.end(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) return {};
  if (j.contains("result") && !j.contains("time")) {
    ResultLine r;
    const auto result = GetInteger(j, "result", INT32_MIN, INT32_MAX);
    if (!GetString(j, "id", r.id) || r.id.empty() || !result) return {};
    r.result = static_cast<int32_t>(*result);
    return r;
  }
  auto e = ParseEntry(j);
  if (!e) return {};
  if (e->timeMs < kMinMs || e->timeMs > kMaxMs) return {};
  return std::move(*e);
}

}  // namespace journal
