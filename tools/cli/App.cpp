#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>

#include "AxtuneVersion.h"
#include "tools/cli/Cli.h"

namespace cli {

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"axtune-cli: commission Valdor axes over Oxa from the command line"};
  app.require_subcommand(1);
  app.fallthrough();
  Context ctx;
  ctx.out = &out;
  ctx.err = &err;
  ctx.errIsTerminal = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err);
  }
  return ctx.exitCode;
}

}  // namespace cli
