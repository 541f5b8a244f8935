// axtune-cli dump FILE.dat: reads a parameter file as the offline file mode does and prints what
// it shows, as JSON: the format version, the records read, ParamRecord and LinRecord.
#include <nlohmann/json.hpp>
#include <ostream>

#include "files/ParamFile.h"
#include "tools/cli/Cli.h"
#include "tools/cli/RecordJson.h"

namespace cli {

namespace {

nlohmann::json ValueJson(const files::FileValue& v) {
  switch (v.type) {
    case files::FileValueType::Real:
      return v.real;  // NaN and infinities print as null
    case files::FileValueType::Bool:
      return v.integer != 0;
    case files::FileValueType::Int16:
    case files::FileValueType::Word16:
    case files::FileValueType::Int32:
      return v.integer;
  }
  return nullptr;
}

int RunDump(Context& ctx, const std::string& path) {
  // The offline file mode starts from a reset document.
  model::ParamRecord param;
  model::LinRecord lin;
  model::ResetParamRecordForDocument(param);
  const files::FileLoadResult r = files::LoadParameterFile(path, param, lin);
  if (!r.opened) {
    *ctx.err << "axtune-cli: cannot open the parameter file \"" << path << "\"\n";
    return kExitUsage;
  }

  const nlohmann::json params = ParamJson(param);
  // The table has room for 100 points whatever LinSamples says.
  const size_t points = files::LinTablePoints(lin.LinSamples);
  nlohmann::json linJson = nlohmann::json::object();
  for (const files::FileParam& p : files::FileParams()) {
    if (!p.lin) continue;
    if (p.count == 1) {
      linJson[std::string(p.name)] = ValueJson(files::GetFileValue(p, 0, param, lin));
      continue;
    }
    nlohmann::json values = nlohmann::json::array();
    for (size_t i = 0; i < points && i < p.count; ++i) {
      values.push_back(ValueJson(files::GetFileValue(p, i, param, lin)));
    }
    linJson[std::string(p.name)] = std::move(values);
  }
  const nlohmann::json out = {
      {"nFileFormat", r.nFileFormat},       {"recordsRead", r.recordsRead},
      {"numbersSkipped", r.numbersSkipped}, {"warnings", r.warnings},
      {"ParamRecord", std::move(params)},   {"LinRecord", std::move(linJson)}};
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
