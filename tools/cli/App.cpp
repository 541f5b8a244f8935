#include <CLI/CLI.hpp>

#include "tools/cli/Cli.h"

namespace cli {

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"axtune-cli: commission Valdor axes over Oxa from the command line"};
  app.require_subcommand(1);
  app.fallthrough();
  Context ctx;
  ctx.out = &out;
  ctx.err = &err;
  app.add_option("--sim-config", ctx.options.simConfig,
                 "Talk to an emulated plant (valdor-sim configuration) in this process")
      ->check(CLI::ExistingFile);

  // One line per subcommand; each lives in its own file.
  RegisterDiscover(app, ctx);
  RegisterRoutes(app, ctx);
  RegisterWatch(app, ctx);
  RegisterAxisCommands(app, ctx);
  RegisterRead(app, ctx);
  RegisterDump(app, ctx);
  RegisterDiff(app, ctx);
  RegisterSave(app, ctx);
  RegisterRecord(app, ctx);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err);
  }
  return ctx.exitCode;
}

}  // namespace cli
