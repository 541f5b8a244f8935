#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <optional>

#include "AxtuneVersion.h"
#include "tools/cli/Cli.h"

namespace cli {

namespace {

// The first word that is not an option or the value of a global one: the subcommand's name.
std::optional<std::string> CommandWord(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--sim-config") {
      ++i;
    } else if (!a.starts_with("-")) {
      return std::string(a);
    }
  }
  return std::nullopt;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   std::function<void(double)> onWaitStep) {
  CLI::App app{"axtune-cli: commission Valdor axes over Oxa from the command line"};
  app.require_subcommand(1);
  app.fallthrough();
  Context ctx;
  ctx.out = &out;
  ctx.err = &err;
  ctx.errIsTerminal = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  ctx.onWaitStep = std::move(onWaitStep);
  app.add_option("--sim-config", ctx.options.simConfig,
                 "Talk to an emulated plant (valdor-sim configuration) in this process")
      ->check(CLI::ExistingFile);
  app.add_flag("--no-journal", ctx.options.noJournal,
               "Write nothing to the commissioning journal (for scripted test rigs)");
  app.set_version_flag("--version", "axtune-cli " AXTUNE_VERSION);
  app.set_help_all_flag("--help-all", "Print the options of every subcommand as well");

  // One line per subcommand; each lives in its own file.
  RegisterDiscover(app, ctx);
  RegisterRoutes(app, ctx);
  RegisterWatch(app, ctx);
  RegisterAxisCommands(app, ctx);
  RegisterRead(app, ctx);
  RegisterDump(app, ctx);
  RegisterDiff(app, ctx);
  RegisterSave(app, ctx);
  RegisterJournal(app, ctx);
  RegisterRecord(app, ctx);
  RegisterTune(app, ctx);

  if (const auto word = CommandWord(argc, argv)) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
    if (std::find(names.begin(), names.end(), *word) == names.end()) {
      const std::string nearest = NearestName(*word, names);
      PrintError(err,
                 "unknown command \"" + *word + "\"" +
                     (nearest.empty() ? "; see --help" : "; did you mean \"" + nearest + "\"?"));
      return kExitUsage;
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version print to stdout and end with 0; every other parse error is a usage
    // error, told in one line.
    if (e.get_exit_code() == 0) return app.exit(e, out, err);
    PrintError(err, std::string(e.what()) + " (see --help)");
    return kExitUsage;
  }
  return ctx.exitCode;
}

}  // namespace cli
