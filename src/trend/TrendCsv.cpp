#include "trend/TrendCsv.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace trend {

namespace {

constexpr std::string_view kTimeName = "t";
constexpr std::string_view kTimeUnit = "s";

void PutNumber(std::ostream& out, double v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.write(buf, r.ptr - buf);
}

std::string HeaderCell(std::string_view name, std::string_view unit) {
  std::string cell(name);
  if (!unit.empty()) {
    cell += " [";
    cell += unit;
    cell += ']';
  }
  return cell;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A header cell: blanks and surrounding quotes gone, "name [unit]" split.
CsvColumn ParseHeaderCell(std::string_view cell) {
  cell = Trim(cell);
  if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') {
    cell = Trim(cell.substr(1, cell.size() - 2));
  }
  CsvColumn c;
  const size_t open = cell.rfind('[');
  if (!cell.empty() && cell.back() == ']' && open != std::string_view::npos) {
    c.name = std::string(Trim(cell.substr(0, open)));
    c.unit = std::string(Trim(cell.substr(open + 1, cell.size() - open - 2)));
  } else {
    c.name = std::string(cell);
  }
  return c;
}

// Splits `line` at commas into `cells` (at most `limit` + 1 of them; the last takes the rest).
void Split(std::string_view line, size_t limit, std::vector<std::string_view>& cells) {
  cells.clear();
  while (true) {
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos || cells.size() == limit) {
      cells.push_back(line);
      return;
    }
    cells.push_back(line.substr(0, comma));
    line.remove_prefix(comma + 1);
  }
}

bool ParseNumber(std::string_view cell, double& v) {
  cell = Trim(cell);
  if (!cell.empty() && cell.front() == '+') cell.remove_prefix(1);
  if (cell.empty()) return false;
  const auto r = std::from_chars(cell.data(), cell.data() + cell.size(), v);
  return r.ec == std::errc() && r.ptr == cell.data() + cell.size();
}

// The next line of `text` without its line end; false at the end.
bool NextLine(std::string_view& text, std::string_view& line) {
  if (text.empty()) return false;
  const size_t nl = text.find('\n');
  line = text.substr(0, nl);
  text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return true;
}

}  // namespace

void WriteCsv(std::ostream& out, std::span<const Sample> samples, const ChannelSet& channels,
              double t0) {
  const auto defs = Channels();
  out << HeaderCell(kTimeName, kTimeUnit);
  for (size_t c = 0; c < kChannelCount; ++c) {
    if (channels.test(c)) out << ',' << HeaderCell(defs[c].name, defs[c].unit);
  }
  out << '\n';
  for (const Sample& s : samples) {
    PutNumber(out, s.t - t0);
    for (size_t c = 0; c < kChannelCount; ++c) {
      if (!channels.test(c)) continue;
      out << ',';
      PutNumber(out, ChannelValue(s, c));
    }
    out << '\n';
  }
}

std::optional<CsvTable> ReadCsv(std::string_view text, std::vector<CsvWarning>& warnings) {
  if (text.size() > kMaxCsvBytes) {
    warnings.push_back({0, CsvIssue::TooLarge});
    return std::nullopt;
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  std::string_view line;
  size_t lineNo = 0;
  // The header: the first line that is not empty.
  bool header = false;
  while (NextLine(text, line)) {
    ++lineNo;
    if (!Trim(line).empty()) {
      header = true;
      break;
    }
  }
  std::vector<std::string_view> cells;
  if (header) Split(line, kMaxCsvColumns + 1, cells);
  const CsvColumn time = header ? ParseHeaderCell(cells[0]) : CsvColumn{};
  if (!header || time.name != kTimeName || time.unit != kTimeUnit) {
    warnings.push_back({lineNo, CsvIssue::NoTimeColumn});
    return std::nullopt;
  }
  CsvTable table;
  // Beyond kMaxCsvColumns, Split leaves the rest of the header in one more cell.
  const bool wide = cells.size() > kMaxCsvColumns + 1;
  const size_t columns = wide ? kMaxCsvColumns : cells.size() - 1;
  if (wide) warnings.push_back({lineNo, CsvIssue::TooManyColumns});
  for (size_t i = 1; i <= columns; ++i) table.columns.push_back(ParseHeaderCell(cells[i]));
  table.values.resize(columns);

  std::vector<double> row(columns);
  while (NextLine(text, line)) {
    ++lineNo;
    if (Trim(line).empty()) continue;
    if (table.t.size() == kMaxCsvRows) {
      warnings.push_back({lineNo, CsvIssue::TooManyRows});
      break;
    }
    // In a wide file the cells past the columns taken stay in one last cell, unread.
    Split(line, columns + 1, cells);
    if (cells.size() != columns + (wide ? 2 : 1)) {
      warnings.push_back({lineNo, CsvIssue::FieldCount});
      continue;
    }
    double t = 0;
    bool ok = ParseNumber(cells[0], t) && std::isfinite(t);
    for (size_t i = 0; ok && i < columns; ++i) ok = ParseNumber(cells[i + 1], row[i]);
    if (!ok) {
      warnings.push_back({lineNo, CsvIssue::BadNumber});
      continue;
    }
    if (!table.t.empty() && t < table.t.back()) {
      warnings.push_back({lineNo, CsvIssue::TimeBackwards});
      continue;
    }
    table.t.push_back(t);
    for (size_t i = 0; i < columns; ++i) table.values[i].push_back(row[i]);
  }
  return table;
}

ChannelSet SamplesOfCsv(const CsvTable& table, std::vector<Sample>& out,
                        std::vector<CsvWarning>& warnings) {
  ChannelSet present;
  std::vector<std::optional<size_t>> channelOf;
  for (const CsvColumn& c : table.columns) {
    const auto ch = FindChannel(c.name);
    // A second column of the same channel is not read.
    if (ch && present.test(*ch)) {
      channelOf.push_back(std::nullopt);
      continue;
    }
    channelOf.push_back(ch);
    if (ch) {
      present.set(*ch);
    } else {
      warnings.push_back({1, CsvIssue::UnknownChannel});
    }
  }
  const auto defs = Channels();
  out.reserve(out.size() + table.t.size());
  for (size_t r = 0; r < table.t.size(); ++r) {
    Sample s;
    s.t = table.t[r];
    s.values.fill(std::numeric_limits<double>::quiet_NaN());
    for (size_t i = 0; i < channelOf.size(); ++i) {
      if (!channelOf[i]) continue;
      const size_t ch = *channelOf[i];
      const double v = table.values[i][r];
      if (ch < kAnalogChannels) {
        s.values[ch] = v;
      } else if (v != 0 && !std::isnan(v)) {
        s.stateBits |= 1u << defs[ch].bit;
      }
    }
    out.push_back(s);
  }
  return present;
}

}  // namespace trend
