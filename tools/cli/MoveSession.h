// What the axis subcommands (move, jog, stop, watch ...) share: the options that name an axis,
// a silent login, the document with that axis selected, the errors it reported, and the waits
// of the subcommands that move the axis.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "i18n/StringTable.h"
#include "journal/Journal.h"
#include "journal/Recorder.h"
#include "link/AxisList.h"
#include "link/AxtuneDoc.h"
#include "link/DocUi.h"
#include "oxa/Oxa.h"
#include "tools/cli/Cli.h"
#include "trend/Clock.h"

namespace cli {

struct AxisArgs {
  uint16_t port = 0;
  uint16_t axis = 0;
  std::string target = "Local";
};

// --port, --axis (both required) and --target.
void AddAxisOptions(CLI::App* sub, AxisArgs& args);

// A failed controller request as the document reported it.
struct OxaError {
  bool stop = false;  // the communication was stopped
  bool write = false;
  int32_t code = 0;
  uint32_t indexGroup = 0;
  uint32_t indexOffset = 0;
};

// "OXA Write( nIdxG=0x80004201, nIdxO=0x00000021, nErr=17238(0x4356) ): <decoded text>", the
// request as the window's error report shows it, and the stop sentence when it stopped.
std::string OxaErrorLine(const OxaError& e, const i18n::StringTable& strings);
// {"code", "codeHex", "indexGroup", "indexOffset", "write", "text"}.
nlohmann::ordered_json OxaErrorJson(const OxaError& e, const i18n::StringTable& strings);

// The document's boxes, kept as text.
class CollectingUi final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string& text) override { boxes.push_back(text); }
  void RequestRedisplay() override {}
  std::vector<std::string> boxes;
};

// The document, which also keeps each error it reports as data.
class ReportingDoc final : public CAxtuneDoc {
 public:
  using CAxtuneDoc::CAxtuneDoc;
  void ReportOxaError(bool stopOnError, bool write, int32_t errorCode, uint32_t indexGroup,
                      uint32_t indexOffset) override;
  std::vector<OxaError> errors;
};

// A recorder's own port: a second client of the plant in this process, or a TCP client with
// connections of its own.
std::unique_ptr<oxa::IOxa> OwnOxa(Connection& conn, const oxa::NetId& netId);

class AxisSession {
 public:
  // Opens the connection, logs in to the target without output and selects the axis for all
  // pages. Null when that fails; `exitCode` and `message` then say why (4 when the plant
  // configuration cannot be loaded, 3 when the target is not reachable or has no such axis, 2
  // when the controller failed the selection). A signal during the login ends its scan.
  // Unless the options say --no-journal, what the document then sends goes into the
  // commissioning journal. Against an emulated plant in this process the plant runs on the
  // session's virtual clock, which the waits below move on, as fast as the emulation computes.
  static std::unique_ptr<AxisSession> Open(const Context& ctx, const AxisArgs& args, int& exitCode,
                                           std::string& message);

  ~AxisSession();
  AxisSession(const AxisSession&) = delete;
  AxisSession& operator=(const AxisSession&) = delete;

  CAxtuneDoc& Doc() { return *doc_; }
  Connection& Conn() { return *conn_; }
  const i18n::StringTable& Strings() const { return strings_; }
  // The plant's clock in this process, else the steady clock.
  trend::IClock& Clock() {
    if (conn_->Plant() != nullptr) return virtual_;
    return steady_;
  }

  // The errors the document reported since the last call, the controller's first; each as
  // one line, and the first as JSON (null when there was none).
  std::vector<std::string> TakeErrorLines();
  nlohmann::ordered_json FirstErrorJson() const;
  bool HasErrors() const { return !doc_->errors.empty() || !ui_.boxes.empty(); }

  // Waits `seconds` on the session's clock in steps of at most 20 ms, calling ctx.onWaitStep
  // with the time waited; false as soon as a signal has arrived (or `until` holds).
  bool Wait(const Context& ctx, double seconds, const std::function<bool()>& until = {});
  // Sends the stop; when it went out, reads the runtime record until the axis reports that it
  // is not moving, for at most the time its deceleration needs from the present velocity and a
  // second more. The stop goes out even after a failed read. Adds to `out` "stopResult",
  // "standing" and the last "ActualPos"; returns the stop's result.
  int32_t StopAndSettle(const Context& ctx, nlohmann::ordered_json& out);

 private:
  AxisSession() = default;
  // Declared first, gone last: an emulated plant keeps a reference to it.
  trend::VirtualClock virtual_;
  trend::SteadyClock steady_;
  std::unique_ptr<Connection> conn_;
  axlink::AxisList lists_;
  i18n::StringTable strings_;
  CollectingUi ui_;
  std::unique_ptr<ReportingDoc> doc_;
  std::unique_ptr<journal::Writer> journalWriter_;
  std::unique_ptr<journal::Recorder> recorder_;
};

// {"command", "port", "axis"} for the JSON answer of a subcommand.
nlohmann::ordered_json CommandJson(const std::string& command, const AxisArgs& args);

// Sets "ok" and, for a failure, "error" of a subcommand's answer: the first error the document
// reported, else {"text": message}.
void SetOutcome(nlohmann::ordered_json& out, bool ok, const AxisSession* session,
                const std::string& message = {});

// One JSON object on `out`, as every subcommand prints it.
void PrintJson(std::ostream& out, const nlohmann::ordered_json& j, int indent = -1);

}  // namespace cli
