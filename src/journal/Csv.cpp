#include "journal/Csv.h"

#include <cstdio>

#include "i18n/Utf8.h"
#include "journal/Format.h"

namespace journal {
namespace {

constexpr const char* kHeader =
    "time_utc,local_time,user,host,controller,route,port,axis,axis_name,operation,number,name,"
    "before,value,arguments,result";

// A field, quoted when it must be. Texts that come from a controller or a user could start with
// a sign a spreadsheet takes for a formula; they are prefixed with an apostrophe.
class Row {
 public:
  void Field(const std::string& text, bool untrusted = false);
  std::string Take() { return std::move(row_) + "\r\n"; }

 private:
  std::string row_;
  bool first_ = true;
};

void Row::Field(const std::string& text, bool untrusted) {
  std::string& row = row_;
  std::string value = untrusted ? i18n::ToUtf8(text) : text;
  if (untrusted && !value.empty() &&
      (value[0] == '=' || value[0] == '+' || value[0] == '-' || value[0] == '@' ||
       value[0] == '\t' || value[0] == '\r')) {
    value.insert(value.begin(), '\'');
  }
  if (!first_) row += ',';
  first_ = false;
  if (value.find_first_of(",\"\r\n") == std::string::npos) {
    row += value;
    return;
  }
  row += '"';
  for (const char c : value) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

std::string Optional(const std::optional<double>& v) {
  return v ? FormatNumber(*v) : std::string();
}

}  // namespace

std::string ArgsText(const Entry& e) {
  std::string text;
  for (const auto& [name, value] : e.args) {
    if (!text.empty()) text += ' ';
    text += name + "=" + FormatArg(value);
  }
  if (!e.end.empty()) text += (text.empty() ? "end=" : " end=") + e.end;
  return text;
}

std::string ToCsv(const std::vector<Entry>& entries) {
  std::string out = std::string(kHeader) + "\r\n";
  for (const Entry& e : entries) {
    // The values a tuning run applied follow its own writes, their operation marked "applied".
    const size_t changes = e.changes.size() + e.applied.size();
    const size_t rows = changes == 0 ? 1 : changes;
    for (size_t i = 0; i < rows; ++i) {
      const bool applied = i >= e.changes.size() && changes > 0;
      Row row;
      row.Field(FormatUtc(e.timeMs));
      row.Field(FormatLocal(e.timeMs, e.utcOffsetMin));
      row.Field(e.user, true);
      row.Field(e.host, true);
      row.Field(e.netId.ToString());
      row.Field(e.route, true);
      row.Field(std::to_string(e.port));
      row.Field(std::to_string(e.axis));
      row.Field(e.axisName, true);
      row.Field(applied ? e.op + " applied" : e.op, true);
      if (changes == 0) {
        for (int k = 0; k < 4; ++k) row.Field("");
      } else {
        const Change& c = applied ? e.applied[i - e.changes.size()] : e.changes[i];
        row.Field(std::to_string(c.no));
        row.Field(c.name, true);
        row.Field(Optional(c.before));
        row.Field(Optional(c.value));
      }
      row.Field(ArgsText(e), true);
      row.Field(e.result ? std::to_string(*e.result) : std::string());
      out += row.Take();
    }
  }
  return out;
}

}  // namespace journal
