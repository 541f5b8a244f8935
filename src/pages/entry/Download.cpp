#include "pages/entry/Download.h"

#include <cmath>

#include "files/ParamFile.h"
#include "pages/entry/NumberText.h"
#include "pages/entry/PageRules.h"

namespace entry {
namespace {

// The field of a parameter number in the document's records.
struct Target {
  const files::FileParam* param = nullptr;
  void* at = nullptr;
};

Target Find(uint16_t no, CAxtuneDoc& doc) {
  size_t index = 0;
  const files::FileParam* p = files::FindFileParam(no, index);
  if (p == nullptr) return {};
  return {p, p->at(doc.params, doc.lin, index)};
}

int64_t IntegerValue(uint16_t no, CAxtuneDoc& doc) {
  size_t index = 0;
  const files::FileParam* p = files::FindFileParam(no, index);
  return p == nullptr ? 0 : files::GetFileValue(*p, index, doc.params, doc.lin).integer;
}

// Integers are narrowed to the field's width.
void StoreInteger(const Target& t, int64_t v) {
  switch (t.param->type) {
    case files::FileValueType::Real:
      *static_cast<double*>(t.at) = static_cast<double>(v);
      break;
    case files::FileValueType::Bool:
      *static_cast<bool*>(t.at) = v != 0;
      break;
    case files::FileValueType::Int16:
      *static_cast<int16_t*>(t.at) = static_cast<int16_t>(v);
      break;
    case files::FileValueType::Word16:
      *static_cast<uint16_t*>(t.at) = static_cast<uint16_t>(v);
      break;
    case files::FileValueType::Int32:
      *static_cast<int32_t*>(t.at) = static_cast<int32_t>(v);
      break;
  }
}

bool Skipped(const FieldRule& rule, const model::ParamRecord& params) {
  return rule.skipForEncoder30And34 && (params.EncoderType == 30 || params.EncoderType == 34);
}

// Every field of the page is checked, so that each bad box gets its corrected text in one pass.
bool ValidatePage(const PageRules& rules, IEntryInputs& inputs, const model::ParamRecord& params) {
  bool valid = true;
  for (const FieldRule& rule : rules.fields) {
    if (!rule.validated || Skipped(rule, params) || !inputs.IsShown(rule.no, 0)) continue;
    std::string text = inputs.Text(rule.no);
    if (!ValidateField(text, rule.check)) valid = false;
    if (!rule.check.hex) inputs.SetText(rule.no, text);
    long n = 0;
    if (rule.odd && ScanInteger(text, n) && n % 2 == 0) valid = false;
  }
  return valid;
}

// A text that does not parse keeps the field's value; so does a non-finite real, which only the
// unchecked fields can bring.
void TakeOverField(const FieldRule& rule, const std::string& text, CAxtuneDoc& doc) {
  const Target t = Find(rule.no, doc);
  if (t.param == nullptr) return;
  switch (rule.conversion) {
    case Conversion::Plain:
    case Conversion::Percent: {
      double v = 0;
      if (!ScanReal(text, v) || !std::isfinite(v) || t.param->type != files::FileValueType::Real) {
        return;
      }
      *static_cast<double*>(t.at) = rule.conversion == Conversion::Percent ? v * 0.01 : v;
      break;
    }
    case Conversion::Integer: {
      long v = 0;
      if (ScanInteger(text, v)) StoreInteger(t, v);
      break;
    }
    case Conversion::Hex: {
      uint32_t w = 0;
      if (ScanHexWord(text, w)) StoreInteger(t, static_cast<int32_t>(w));
      break;
    }
  }
}

void StoreList(uint16_t no, IEntryInputs& inputs, CAxtuneDoc& doc) {
  const Target t = Find(no, doc);
  if (t.param == nullptr) return;
  if (const std::optional<int32_t> item = inputs.SelectedItem(no)) StoreInteger(t, *item);
}

// Hidden boxes keep their fields' values.
void TakeOver(const PageRules& rules, IEntryInputs& inputs, CAxtuneDoc& doc) {
  for (const FieldRule& rule : rules.fields) {
    if (Skipped(rule, doc.params) || !inputs.IsShown(rule.no, 0)) continue;
    TakeOverField(rule, inputs.Text(rule.no), doc);
  }
  for (const CheckRule& check : rules.checks) {
    const Target t = Find(check.no, doc);
    if (t.param == nullptr || !inputs.IsShown(check.no, check.bit)) continue;
    const bool checked = inputs.IsChecked(check.no, check.bit);
    if (check.bit == 0) {
      StoreInteger(t, checked ? 1 : 0);
    } else {
      const int64_t word = IntegerValue(check.no, doc);
      StoreInteger(t, checked ? (word | check.bit) : (word & ~int64_t{check.bit}));
    }
  }
  for (uint16_t no : rules.lists) StoreList(no, inputs, doc);
}

void WriteNumbered(const WriteItem& item, CAxtuneDoc& doc) {
  size_t index = 0;
  const files::FileParam* p = files::FindFileParam(item.no, index);
  if (p == nullptr) return;
  const files::FileValue v = files::GetFileValue(*p, index, doc.params, doc.lin);
  switch (p->type) {
    case files::FileValueType::Real:
      doc.WriteParamNoReal(v.real, item.no);
      break;
    case files::FileValueType::Bool:
      doc.WriteParamNoByte(v.integer, item.no);
      break;
    case files::FileValueType::Int16:
    case files::FileValueType::Word16:
    case files::FileValueType::Int32:
      if (item.signedValue) {
        doc.WriteParamNoReal(v.integer, item.no);
      } else {
        doc.WriteParamNoUInt(static_cast<uint32_t>(v.integer), item.no);
      }
      break;
  }
}

void Write(const PageRules& rules, CAxtuneDoc& doc) {
  const model::LibVersion& n = kNumberedWritesFrom;
  if (doc.LibVersionAtLeast(n.major, n.minor, n.build)) {
    for (const WriteItem& item : rules.writes) {
      if (item.when.Holds(doc.linkVersions.lib)) WriteNumbered(item, doc);
    }
  } else if (rules.recordWriteWithoutNumbers) {
    doc.WriteParamRecordToAxis();
  }
}

}  // namespace

DownloadResult DownloadPage(int page, IEntryInputs& inputs, CAxtuneDoc& doc) {
  const PageRules* rules = FindPageRules(page);
  if (rules == nullptr) return {};
  if (!ValidatePage(*rules, inputs, doc.params)) return {DownloadOutcome::Rejected};
  TakeOver(*rules, inputs, doc);
  Write(*rules, doc);

  DownloadResult result{DownloadOutcome::Done};
  switch (rules->readBack) {
    case ReadBack::None:
      return result;
    case ReadBack::ReadAndRepaint:
      result.repaintNow = true;
      [[fallthrough]];
    case ReadBack::ReadAndRedisplay:
      doc.ReselectAxis(page);
      break;
    case ReadBack::Redisplay:
      break;
  }
  doc.Ui().RequestRedisplay();
  return result;
}

DownloadResult DownloadTypeButton(int buttonId, IEntryInputs& inputs, CAxtuneDoc& doc) {
  const std::optional<uint16_t> no = TypeButtonField(buttonId);
  if (!no) return {};
  const model::LibVersion& n = kNumberedWritesFrom;
  if (doc.LibVersionAtLeast(n.major, n.minor, n.build)) {
    return DownloadPage(model::kPageCommon, inputs, doc);
  }
  StoreList(*no, inputs, doc);
  doc.WriteParamRecordToAxis();
  return {DownloadOutcome::Done};
}

}  // namespace entry
