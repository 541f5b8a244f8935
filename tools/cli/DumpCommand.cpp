// axtune-cli dump FILE.dat: reads a parameter file as the offline file mode does and prints what
// it shows, as JSON: the format version, the records read, ParamRecord and LinRecord, the records
// in the shape that `read` prints them.
#include <nlohmann/json.hpp>
#include <ostream>

#include "files/ParamFile.h"
#include "tools/cli/Cli.h"
#include "tools/cli/RecordJson.h"

namespace cli {

namespace {

int RunDump(Context& ctx, const std::string& path) {
  // The offline file mode starts from a reset document.
  model::ParamRecord param;
  model::LinRecord lin;
  model::ResetParamRecordForDocument(param);
  const files::FileLoadResult r = files::LoadParameterFile(path, param, lin);
  if (!r.opened) {
    PrintError(*ctx.err, "cannot open the parameter file \"" + path + "\"");
    return kExitUsage;
  }

  const nlohmann::ordered_json out = {
      {"nFileFormat", r.nFileFormat},       {"recordsRead", r.recordsRead},
      {"numbersSkipped", r.numbersSkipped}, {"warnings", r.warnings},
      {"ParamRecord", ParamJson(param)},    {"LinRecord", LinJson(lin)}};
  *ctx.out << out.dump(2) << "\n";
  return 0;
}

}  // namespace

void RegisterDump(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "dump", "Print a parameter file (*.dat) as the offline file mode shows it, as JSON");
  auto path = std::make_shared<std::string>();
  sub->add_option("file", *path, "The parameter file")->required();
  sub->callback([&ctx, path] { ctx.exitCode = RunDump(ctx, *path); });
}

}  // namespace cli
