// What the axis subcommands (move, jog, stop, watch ...) share: the options that name an axis,
// a silent login, and the document with that axis selected.
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
#include "tools/cli/Cli.h"

namespace cli {

struct AxisArgs {
  uint16_t port = 0;
  uint16_t axis = 0;
  std::string target = "Local";
};

// --port, --axis (both required) and --target.
void AddAxisOptions(CLI::App* sub, AxisArgs& args);

// The document's boxes, kept as text for the JSON answer.
class CollectingUi final : public axlink::IDocUi {
 public:
  void MessageBox(const std::string& text) override { boxes.push_back(text); }
  void RequestRedisplay() override {}
  std::vector<std::string> boxes;
};

class AxisSession {
 public:
  // Opens the connection, logs in to the target without output and selects the axis for all
  // pages. Null when that fails; `exitCode` and `message` then say why (exit 2 for a usage or
  // controller error, 3 when the target has no such axis). Unless the options say --no-journal,
  // what the document then sends goes into the commissioning journal.
  static std::unique_ptr<AxisSession> Open(const Context& ctx, const AxisArgs& args, int& exitCode,
                                           std::string& message);

  ~AxisSession();
  AxisSession(const AxisSession&) = delete;
  AxisSession& operator=(const AxisSession&) = delete;

  CAxtuneDoc& Doc() { return *doc_; }
  Connection& Conn() { return *conn_; }
  // The boxes the document showed since the last call, as one UTF-8 text (empty when none).
  std::string TakeReports();

 private:
  AxisSession() = default;
  std::unique_ptr<Connection> conn_;
  axlink::AxisList lists_;
  i18n::StringTable strings_;
  CollectingUi ui_;
  std::unique_ptr<CAxtuneDoc> doc_;
  std::unique_ptr<journal::Writer> journalWriter_;
  std::unique_ptr<journal::Recorder> recorder_;
};

// {"command", "port", "axis"} for the JSON answer of a subcommand.
nlohmann::ordered_json CommandJson(const std::string& command, const AxisArgs& args);

}  // namespace cli
