// Recordings as CSV text: a header line "t [s],ActualPos [mm],...", then one line per sample
// with the time in seconds and one column per channel, numbers with "." and as many digits as
// they need to read back exactly.
//
// The reader takes any such file, also one a spreadsheet has touched (a byte-order mark, CR LF
// line ends, quoted header cells, blanks around cells). It refuses a file without the time
// column and reports every line it had to skip as a warning; it never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "trend/Channels.h"

namespace trend {

// Files larger than this are refused; no more columns or lines than these are taken.
inline constexpr size_t kMaxCsvBytes = size_t{256} << 20;
inline constexpr size_t kMaxCsvColumns = 64;
inline constexpr size_t kMaxCsvRows = 2'000'000;

struct CsvColumn {
  std::string name;
  std::string unit;  // the text in brackets after the name; empty when there is none
};

enum class CsvIssue : uint8_t {
  TooLarge,        // the file exceeds kMaxCsvBytes (nothing read)
  NoTimeColumn,    // the first header cell is not the time in seconds (nothing read)
  TooManyColumns,  // columns beyond kMaxCsvColumns are ignored
  FieldCount,      // a line with another number of cells than the header, skipped
  BadNumber,       // a cell that is no number, or a time that is not finite; line skipped
  TimeBackwards,   // a time earlier than the line before; line skipped
  TooManyRows,     // lines beyond kMaxCsvRows are ignored
  UnknownChannel,  // a column no channel has; kept in the table, not in samples
};

struct CsvWarning {
  size_t line = 0;  // 1-based; 0 for the file as a whole
  CsvIssue issue = CsvIssue::BadNumber;
};

struct CsvTable {
  std::vector<CsvColumn> columns;           // after the time column
  std::vector<double> t;                    // s
  std::vector<std::vector<double>> values;  // per column, one value per line of `t`
};

// Writes `samples` with the channels of `channels` in table order; times relative to `t0`.
void WriteCsv(std::ostream& out, std::span<const Sample> samples, const ChannelSet& channels,
              double t0);

// Reads CSV text; none when it cannot be read at all (the warnings say why).
std::optional<CsvTable> ReadCsv(std::string_view text, std::vector<CsvWarning>& warnings);

// The samples of a table whose columns name channels (values of other channels are NaN, state
// bits 0) and the channels it holds; a column of an unknown name adds an UnknownChannel warning.
ChannelSet SamplesOfCsv(const CsvTable& table, std::vector<Sample>& out,
                        std::vector<CsvWarning>& warnings);

}  // namespace trend
