// axtune-cli diff A.dat B.dat: the parameters whose values differ between two parameter files,
// by number, name and both values, as JSON. Exit 0 when none differ, 1 when some do, 4 when a
// file cannot be opened.
#include <nlohmann/json.hpp>
#include <ostream>

#include "files/ParamFile.h"
#include "tools/cli/Cli.h"

namespace cli {

namespace {

nlohmann::json ValueJson(const files::FileValue& v) {
  if (v.type == files::FileValueType::Real) return v.real;
  if (v.type == files::FileValueType::Bool) return v.integer != 0;
  return v.integer;
}

int RunDiff(Context& ctx, const std::string& pathA, const std::string& pathB) {
  model::ParamRecord paramA, paramB;
  model::LinRecord linA, linB;
  model::ResetParamRecordForDocument(paramA);
  model::ResetParamRecordForDocument(paramB);
  for (const auto& [path, param, lin] :
       {std::tie(pathA, paramA, linA), std::tie(pathB, paramB, linB)}) {
    if (!files::LoadParameterFile(path, param, lin).opened) {
      PrintError(*ctx.err, "cannot open the parameter file \"" + path + "\"");
      return kExitUsage;
    }
  }
  // Table points beyond both files' LinSamples are not part of either characteristic.
  const size_t points =
      std::max(files::LinTablePoints(linA.LinSamples), files::LinTablePoints(linB.LinSamples));
  nlohmann::json list = nlohmann::json::array();
  for (const files::FileParamDiff& d :
       files::DiffParameterSets(paramA, linA, paramB, linB, points)) {
    list.push_back({{"no", d.no}, {"name", d.name}, {"a", ValueJson(d.a)}, {"b", ValueJson(d.b)}});
  }
  const bool differ = !list.empty();
  const nlohmann::json out = {{"a", pathA}, {"b", pathB}, {"differences", std::move(list)}};
  *ctx.out << out.dump(2) << "\n";
  return differ ? kExitDiffer : 0;
}

}  // namespace

void RegisterDiff(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "diff", "List the parameters that differ between two parameter files (exit 1: some do)");
  auto a = std::make_shared<std::string>();
  auto b = std::make_shared<std::string>();
  sub->add_option("a", *a, "The first parameter file")->required();
  sub->add_option("b", *b, "The second parameter file")->required();
  sub->callback([&ctx, a, b] { ctx.exitCode = RunDiff(ctx, *a, *b); });
}

}  // namespace cli
