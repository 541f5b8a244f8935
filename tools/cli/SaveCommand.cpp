// axtune-cli save --port P --axis N [--target T]: logs in silently, selects axis N of the axis
// server on port P and tells it to save its parameters to its own parameter file, as the "Save"
// button does. Prints where the command went, the file name the axis holds and the result, as
// JSON.
#include <nlohmann/json.hpp>
#include <ostream>

#include "link/Commands.h"
#include "model/ParamRecord.h"
#include "tools/cli/Cli.h"
#include "tools/cli/MoveSession.h"

namespace cli {

namespace {

int RunSave(Context& ctx, const AxisArgs& args) {
  int exitCode = 0;
  std::string message;
  nlohmann::ordered_json out = CommandJson("save", args);
  auto session = AxisSession::Open(ctx, args, exitCode, message);
  if (!session) {
    out["result"] = nullptr;
    SetOutcome(out, false, nullptr, message);
    PrintError(*ctx.err, message);
    PrintJson(*ctx.out, out, 2);
    return exitCode;
  }
  CAxtuneDoc& doc = session->Doc();
  out["target"] = doc.axisAddr.netId.ToString();
  out["name"] = Latin1ToUtf8(doc.axisName);
  // The name the controller stores the file under, as the selection read it.
  out["FileName"] = Latin1ToUtf8(model::FileNameText(doc.params));
  out["indexGroup"] = axlink::kCommandGroup + args.axis;
  out["indexOffset"] = axlink::kCmdSaveParams;
  const int32_t result = doc.SaveParams();
  out["result"] = result;
  SetOutcome(out, result == oxa::kOk, session.get());
  for (const std::string& line : session->TakeErrorLines()) PrintError(*ctx.err, line);
  PrintJson(*ctx.out, out, 2);
  return result == oxa::kOk ? 0 : kExitFailed;
}

}  // namespace

void RegisterSave(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand(
      "save", "Tell an axis to save its parameters to its parameter file on the controller");
  auto args = std::make_shared<AxisArgs>();
  AddAxisOptions(sub, *args);
  sub->callback([&ctx, args] { ctx.exitCode = RunSave(ctx, *args); });
}

}  // namespace cli
