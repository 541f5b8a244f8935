#include "journal/Recorder.h"

#include <array>
#include <optional>

#include "i18n/Utf8.h"
#include "journal/Format.h"
#include "link/AxtuneDoc.h"
#include "link/Commands.h"
#include "model/ParamLayouts.h"
#include "model/ParamNumbers.h"

namespace journal {
namespace {

struct CommandName {
  uint32_t offset;
  const char* op;
};
constexpr std::array kCommands = {
    CommandName{axlink::kCmdSaveParams, kOpSave}, CommandName{axlink::kCmdLoadParams, kOpLoad},
    CommandName{axlink::kCmdReset, kOpReset},     CommandName{axlink::kCmdStop, kOpStop},
    CommandName{axlink::kCmdHome, kOpHome},
};

// The menu settings are numbered writes of values that no record holds.
struct SettingName {
  uint16_t no;
  const char* name;
};
constexpr std::array kSettings = {
    SettingName{axlink::kParamLogLevel, "LogLevel"},
    SettingName{axlink::kParamLatch, "Latch"},
    SettingName{axlink::kParamReferenceFlag, "ReferenceFlag"},
};

std::string NameOf(uint16_t no) {
  for (const SettingName& s : kSettings) {
    if (s.no == no) return s.name;
  }
  return model::NumberedName(no);
}

// A 32-bit field as the unsigned word a numbered write sends: -1 is 4294967295.
std::optional<double> AsWord(std::optional<double> v) {
  constexpr double kWords = 4294967296.0;
  if (v && *v < 0 && *v >= -kWords / 2) return *v + kWords;
  return v;
}

// Every number of the parameter record whose value `sent` changes from `read`.
std::vector<Change> RecordChanges(const model::ParamRecord& read, const model::ParamRecord& sent) {
  std::vector<Change> changes;
  const model::LinRecord lin;
  auto compare = [&](uint16_t no) {
    const auto before = model::NumberedValue(read, lin, no);
    const auto value = model::NumberedValue(sent, lin, no);
    if (!value || before == value) return;
    changes.push_back({no, model::NumberedName(no), before, value});
  };
  for (const model::ParamField& f : model::ParamFields()) {
    if (f.no != 0) compare(f.no);
  }
  for (uint16_t i = 0; i < read.AuxData.size(); ++i) {
    compare(static_cast<uint16_t>(model::kParamNoAuxFirst + i));
  }
  return changes;
}

}  // namespace

void MakeEntry(const CAxtuneDoc& doc, const axlink::SendEvent& event, const Identity& who,
               const std::string& route, Entry& e) {
  e.changes.clear();
  e.args.clear();
  e.applied.clear();
  e.end.clear();
  e.result.reset();
  e.user = who.user;
  e.host = who.host;
  e.netId = event.addr.netId;
  e.route = route;
  e.port = event.addr.port;
  e.axis = event.axis;
  e.axisName = i18n::Latin1ToUtf8(doc.axisName);
  switch (event.kind) {
    case axlink::SendKind::Command:
      e.op = "Command";
      for (const CommandName& c : kCommands) {
        if (c.offset == event.indexOffset) e.op = c.op;
      }
      if (e.op == "Command") e.args.emplace_back("offset", event.indexOffset);
      break;
    case axlink::SendKind::Move:
      e.op = kOpMove;
      e.args = {{"mode", event.move.mode},
                {"position", event.move.position},
                {"velocity", event.move.velocity}};
      break;
    case axlink::SendKind::SetPosition:
      e.op = kOpSetPosition;
      e.args = {{"position", event.position}};
      break;
    case axlink::SendKind::ParamWrite: {
      e.op = event.writeKind == axlink::ParamWriteKind::Byte ? kOpWriteByte : kOpWriteReal;
      // A word is compared and shown as the unsigned number it went as.
      std::optional<double> before =
          model::NumberedValue(doc.paramsRead, doc.linRead, event.paramNo);
      if (event.writeKind == axlink::ParamWriteKind::Word) before = AsWord(before);
      e.changes.push_back({event.paramNo, NameOf(event.paramNo), before, event.value});
      break;
    }
    case axlink::SendKind::RecordWrite: {
      e.op = kOpWriteRecord;
      // Only what the server's StParam layout carries is sent.
      model::ParamRecord sent = doc.paramsRead;
      if (model::CopyParamBlockFields(doc.linkVersions.table[2], doc.params, sent)) {
        e.changes = RecordChanges(doc.paramsRead, sent);
      }
      break;
    }
    case axlink::SendKind::ClearLog:
      e.op = kOpClearLog;
      break;
  }
}

void MakeTuningEntry(const CAxtuneDoc& doc, const axlink::TuningRunReport& report,
                     const Identity& who, const std::string& route, Entry& e) {
  e.changes.clear();
  e.result.reset();
  e.user = who.user;
  e.host = who.host;
  e.netId = doc.axisAddr.netId;
  e.route = route;
  e.port = doc.axisAddr.port;
  e.axis = doc.nAxis;
  e.axisName = i18n::Latin1ToUtf8(doc.axisName);
  e.op = kOpTuningRun;
  e.args = report.figures;
  for (const axlink::TuningWrite& w : report.writes) {
    e.changes.push_back({w.no, w.name, w.before, w.value});
  }
  e.applied.clear();
  for (const axlink::TuningWrite& w : report.applied) {
    e.applied.push_back({w.no, w.name, w.before, w.value});
  }
  e.end = report.end;
}

Recorder::Recorder(Writer& writer, Identity who, std::function<void(const std::string&)> onError)
    : writer_(writer), who_(std::move(who)), onError_(std::move(onError)) {}

void Recorder::Failed() {
  if (!failing_ && onError_) onError_(writer_.LastError());
  failing_ = true;
}

void Recorder::BeforeSend(const CAxtuneDoc& doc, const axlink::SendEvent& event) {
  if (event.tuning) return;
  MakeEntry(doc, event, who_, route_, entry_);
  pending_.clear();
  if (!writer_.Append(entry_)) {
    Failed();
    return;
  }
  failing_ = false;
  pending_ = entry_.id;
}

void Recorder::AfterSend(const CAxtuneDoc&, const axlink::SendEvent& event, int32_t result) {
  if (event.tuning || pending_.empty()) return;
  if (!writer_.AppendResult(pending_, result)) Failed();
  pending_.clear();
}

void Recorder::TuningRun(const CAxtuneDoc& doc, const axlink::TuningRunReport& report) {
  MakeTuningEntry(doc, report, who_, route_, entry_);
  if (!writer_.Append(entry_) || !writer_.AppendResult(entry_.id, report.result)) {
    Failed();
    return;
  }
  failing_ = false;
}

}  // namespace journal
