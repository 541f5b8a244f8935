#include "journal/Recorder.h"

#include <array>
#include <optional>

#include "i18n/Utf8.h"
#include "journal/Format.h"
#include "link/AxtuneDoc.h"
#include "link/Commands.h"
#include "model/ParamDictionary.h"
#include "model/ParamLayouts.h"

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

// The name of a number that carries one value: a field of the records, or a menu setting that
// no record holds; empty for the others.
std::string NameOf(uint16_t no) {
  static const model::ParamRecord p;
  static const model::LinRecord l;
  const model::ParamRow* row = model::FindParam(no);
  if (row == nullptr) return {};
  if (row->home != model::ParamHome::Outside && !model::Get({&p, &l}, *row, no)) return {};
  return model::ParamName(*row, no);
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
  for (const model::ParamRow& row : model::ParamRows()) {
    if (row.home != model::ParamHome::Param && row.home != model::ParamHome::Aux) continue;
    for (uint16_t i = 0; i < row.count; ++i) {
      const auto no = static_cast<uint16_t>(row.no + i);
      const auto before = model::Get({&read, nullptr}, row, no);
      const auto value = model::Get({&sent, nullptr}, row, no);
      if (value && before != value)
        changes.push_back({no, model::ParamName(row, no), before, value});
    }
  }
  return changes;
}

// An entry of nothing yet but who sent it where; the buffers keep their capacity.
void Begin(const CAxtuneDoc& doc, const oxa::OxaAddr& addr, int32_t axis, const Identity& who,
           const std::string& route, Entry& e) {
  e.changes.clear();
  e.args.clear();
  e.applied.clear();
  e.end.clear();
  e.result.reset();
  e.user = who.user;
  e.host = who.host;
  e.netId = addr.netId;
  e.route = route;
  e.port = addr.port;
  e.axis = axis;
  e.axisName = i18n::Latin1ToUtf8(doc.axisName);
}

}  // namespace

void MakeEntry(const CAxtuneDoc& doc, const axlink::SendEvent& event, const Identity& who,
               const std::string& route, Entry& e) {
  Begin(doc, event.addr, event.axis, who, route, e);
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
      std::optional<double> before = model::Get({&doc.paramsRead, &doc.linRead}, event.paramNo);
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
  Begin(doc, doc.axisAddr, doc.nAxis, who, route, e);
  e.op = kOpTuningRun;
  e.args = report.figures;
  for (const axlink::TuningWrite& w : report.writes) {
    e.changes.push_back({w.no, w.name, w.before, w.value});
  }
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
