// Runs axtune-cli in this process, as a shell would run it, and keeps what it printed.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cli/Cli.h"

namespace testcli {

struct CliRun {
  int code = 0;
  std::string out;
  std::string err;
  nlohmann::json json;  // stdout parsed as one JSON value; discarded when it is not one
};

// `args` without the program name. `onWaitStep` is called at every step of the subcommand's
// waits with the seconds waited.
inline CliRun RunCliWaiting(std::vector<std::string> args, std::function<void(double)> onWaitStep) {
  args.insert(args.begin(), "axtune-cli");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  CliRun r;
  r.code = cli::RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err,
                               std::move(onWaitStep));
  r.out = out.str();
  r.err = err.str();
  r.json = nlohmann::json::parse(r.out, nullptr, false);
  return r;
}

inline CliRun RunCli(std::vector<std::string> args) {
  return RunCliWaiting(std::move(args), {});
}

}  // namespace testcli
