// Shared pieces of the axtune-cli subcommands: the connection to a controller (OXA/TCP through
// the route file, or an emulated plant in this process) and the text conversions.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/Utf8.h"
#include "oxa/Oxa.h"

namespace oxa {
class OxaTcpClient;
}
namespace sim {
class Plant;
}

namespace cli {

// Options every subcommand shares.
struct Options {
  // A plant configuration: talk to an emulator in this process instead of over TCP.
  std::string simConfig;
  // No entries in the commissioning journal for this run.
  bool noJournal = false;
};

// State of one run: the options and where the subcommand's exit code goes.
struct Context {
  Options options;
  int exitCode = 0;
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  bool errIsTerminal = false;  // `err` is the process's stderr and that is a terminal
  // Called at every step of a subcommand's waits (jog, move --wait, record) with the seconds
  // waited so far; tests deliver their interrupts from here.
  std::function<void(double)> onWaitStep;
};

// Exit codes, the same for every subcommand.
inline constexpr int kExitDone = 0;
inline constexpr int kExitDiffer = 1;         // a comparison found differences
inline constexpr int kExitFailed = 2;         // refused or failed: by the controller, or a value
                                              // the window's field rules refuse (nothing sent)
inline constexpr int kExitNothingFound = 3;   // nothing found, or the target not reachable
inline constexpr int kExitUsage = 4;          // the command line is wrong (CLI11's errors too)
inline constexpr int kExitInterrupted = 130;  // SIGINT, SIGTERM or SIGHUP

// Writes `text` to `err` as one line "axtune-cli: <text>": line breaks and runs of blanks in it
// become single blanks, so that scripts and service logs see one line per error.
void PrintError(std::ostream& err, std::string_view text);

// "0x4356": the code's 32-bit pattern in hex, as the error report shows it.
std::string HexCode(int32_t code);

// An open Oxa port. Closes it when destroyed.
class Connection {
 public:
  // The emulator when `options.simConfig` is set (its NetId is the local one of the route
  // file), otherwise the OXA/TCP client with the route file of the environment. What the route
  // file had to skip goes to `ctx.err`, one line each. Null with `error` set when the
  // configuration cannot be loaded.
  static std::unique_ptr<Connection> Open(const Context& ctx, std::string& error);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  oxa::IOxa& Oxa() { return *oxa_; }
  // The emulated plant in this process; null over TCP.
  sim::Plant* Plant() { return plant_.get(); }
  // The port handle, 0 when no port could be opened.
  long PortHandle() const { return port_; }
  // Why requests to `netId` found no controller, for a target named `targetText` (a route name,
  // "Local" or a NetId): "no answer from 127.0.0.1:26802 (connection refused) for route Local",
  // "no route for NetId 9.9.9.9.1.1 in <route file>", or empty when the transport did not fail.
  std::string UnreachableText(const oxa::NetId& netId, const std::string& targetText) const;

 private:
  Connection() = default;
  std::unique_ptr<sim::Plant> plant_;
  std::unique_ptr<oxa::IOxa> oxa_;
  oxa::OxaTcpClient* tcp_ = nullptr;  // `oxa_` over TCP, else null
  long port_ = 0;
};

// Controller texts are single-byte (Latin-1) and route names UTF-8 that may be cut inside a
// character; JSON carries UTF-8.
using i18n::Latin1ToUtf8;
using i18n::ToUtf8;

// The NetId a --target names: "Local" (or nothing) for the local one, a NetId, or the name of a
// route of the local router. None for a name no route has.
std::optional<oxa::NetId> ResolveNetId(oxa::IOxa& oxa, const std::string& text);

// Parses the command line and runs the subcommand; returns the exit code. `onWaitStep` goes to
// Context::onWaitStep.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   std::function<void(double)> onWaitStep = {});

// The subcommand name nearest to `word` by edit distance (at most a third of its letters
// changed), or empty when none is that near.
std::string NearestName(std::string_view word, const std::vector<std::string>& names);

// Subcommands; RunCommandLine (App.cpp) calls each once. A new subcommand adds its own file and
// one line there.
void RegisterDiscover(CLI::App& app, Context& ctx);
void RegisterRoutes(CLI::App& app, Context& ctx);
// watch (WatchCommand.cpp); move, jog, stop, home, reset, setpos, load, clearlog, loglevel and
// set (MoveCommand.cpp).
void RegisterWatch(CLI::App& app, Context& ctx);
void RegisterAxisCommands(CLI::App& app, Context& ctx);
void RegisterRead(CLI::App& app, Context& ctx);
void RegisterDump(CLI::App& app, Context& ctx);
void RegisterDiff(CLI::App& app, Context& ctx);
void RegisterSave(CLI::App& app, Context& ctx);
void RegisterJournal(CLI::App& app, Context& ctx);
void RegisterRecord(CLI::App& app, Context& ctx);
void RegisterTune(CLI::App& app, Context& ctx);

}  // namespace cli
