// The journal as CSV (RFC 4180, UTF-8, CRLF line ends) for a spreadsheet: one row per value
// written, so a whole-record write gives a row per field it changed; entries without values (the
// commands) give one row.
#pragma once

#include <string>
#include <vector>

#include "journal/Entry.h"

namespace journal {

// The header row and the entries' rows, in the order given.
std::string ToCsv(const std::vector<Entry>& entries);

// A command's arguments as text: "mode=1 position=250 velocity=100".
std::string ArgsText(const Entry& e);

}  // namespace journal
