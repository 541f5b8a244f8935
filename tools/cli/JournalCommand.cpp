// axtune-cli journal: the commissioning journal, oldest entry first, as one JSON object a line or
// with --csv as CSV. Lines of the journal that cannot be read are named on stderr.
//
//   journal [--axis N] [--port P] [--controller NETID] [--since DATE] [--until DATE] [--csv]
//           [--dir DIR]
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>

#include "journal/Csv.h"
#include "journal/Format.h"
#include "journal/Journal.h"
#include "tools/cli/Cli.h"

namespace cli {

namespace {

struct JournalArgs {
  std::optional<int32_t> axis;
  std::optional<uint16_t> port;
  std::string controller;
  std::string since;
  std::string until;
  std::string dir;
  bool csv = false;
};

nlohmann::ordered_json NumberOrNull(const std::optional<double>& v) {
  return v ? nlohmann::ordered_json(*v) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json ChangesJson(const std::vector<journal::Change>& list) {
  nlohmann::ordered_json changes = nlohmann::ordered_json::array();
  for (const journal::Change& c : list) {
    changes.push_back({{"no", c.no},
                       {"name", c.name},
                       {"before", NumberOrNull(c.before)},
                       {"value", NumberOrNull(c.value)}});
  }
  return changes;
}

nlohmann::ordered_json EntryJson(const journal::Entry& e) {
  nlohmann::ordered_json args = nlohmann::ordered_json::object();
  // As the journal keeps them: a value that is not finite as "nan", "inf" or "-inf".
  for (const auto& [name, value] : e.args) {
    args[name] = std::isfinite(value) ? nlohmann::ordered_json(value)
                                      : nlohmann::ordered_json(journal::FormatArg(value));
  }
  nlohmann::ordered_json j = {{"time", journal::FormatUtc(e.timeMs)},
                              {"localTime", journal::FormatLocal(e.timeMs, e.utcOffsetMin)},
                              {"user", e.user},
                              {"host", e.host},
                              {"netId", e.netId.ToString()},
                              {"route", e.route},
                              {"port", e.port},
                              {"axis", e.axis},
                              {"axisName", e.axisName},
                              {"op", e.op},
                              {"changes", ChangesJson(e.changes)},
                              {"args", std::move(args)},
                              {"result", e.result ? nlohmann::ordered_json(*e.result) : nullptr}};
  // A tuning run's: the values applied and how it ended.
  if (e.op == journal::kOpTuningRun) {
    j["applied"] = ChangesJson(e.applied);
    j["end"] = e.end;
  }
  return j;
}

int RunJournal(Context& ctx, const JournalArgs& a) {
  journal::Filter filter;
  filter.axis = a.axis;
  filter.port = a.port;
  if (!a.controller.empty()) {
    filter.netId = oxa::NetId::Parse(a.controller);
    if (!filter.netId) {
      PrintError(*ctx.err, "--controller needs a NetId a.b.c.d.e.f");
      return kExitUsage;
    }
  }
  for (const auto& [text, until] : {std::pair{&a.since, false}, std::pair{&a.until, true}}) {
    if (text->empty()) continue;
    const auto ms = journal::ParseDateArg(*text, until);
    if (!ms) {
      PrintError(*ctx.err, "\"" + *text +
                               "\" is not a date (YYYY-MM-DD, YYYY-MM-DDTHH:MM[:SS], or UTC "
                               "ending in Z)");
      return kExitUsage;
    }
    (until ? filter.untilMs : filter.sinceMs) = ms;
  }
  const std::string dir = a.dir.empty() ? journal::DefaultJournalDir() : a.dir;
  const journal::ReadResult r = journal::ReadJournal(dir, filter);
  for (const journal::Warning& w : r.warnings) {
    PrintError(*ctx.err, "journal " + journal::WarningText(w));
  }
  if (a.csv) {
    *ctx.out << journal::ToCsv(r.entries);
    return 0;
  }
  for (const journal::Entry& e : r.entries) {
    *ctx.out << EntryJson(e).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
             << "\n";
  }
  return 0;
}

}  // namespace

void RegisterJournal(CLI::App& app, Context& ctx) {
  auto args = std::make_shared<JournalArgs>();
  auto* sub = app.add_subcommand(
      "journal", "Print the commissioning journal: what was sent to which axis, when and by whom");
  sub->add_option("--axis", args->axis, "Only entries of this axis number");
  sub->add_option("--port", args->port, "Only entries of the axis server at this Oxa port");
  sub->add_option("--controller", args->controller, "Only entries of this controller (NetId)");
  sub->add_option("--since", args->since,
                  "From this date or local time on (YYYY-MM-DD or YYYY-MM-DDTHH:MM)");
  sub->add_option("--until", args->until, "Up to this date (inclusive) or local time");
  sub->add_flag("--csv", args->csv, "Print CSV instead of one JSON object a line");
  sub->add_option("--dir", args->dir, "Journal directory (default: $XDG_DATA_HOME/axtune/journal)");
  sub->callback([&ctx, args] { ctx.exitCode = RunJournal(ctx, *args); });
}

}  // namespace cli
