#include "pages/entry/Download.h"

#include <cmath>

#include "model/ParamDictionary.h"
#include "pages/entry/NumberText.h"
#include "pages/entry/PageRules.h"

namespace entry {
namespace {

// The numbers a download takes over: those of the records' single values.
const model::ParamRow* Find(uint16_t no) {
  const model::ParamRow* row = model::FindParam(no);
  return row != nullptr && row->file != model::FileType::None ? row : nullptr;
}

model::Records Records(CAxtuneDoc& doc) {
  return {&doc.params, &doc.lin};
}

int64_t IntegerValue(uint16_t no, CAxtuneDoc& doc) {
  const std::optional<double> v = model::Get({&doc.params, &doc.lin}, no);
  return v ? static_cast<int64_t>(*v) : 0;
}

// Integers are narrowed to the field's width.
void StoreInteger(const model::ParamRow& row, uint16_t no, int64_t v, CAxtuneDoc& doc) {
  model::Set(Records(doc), row, no, static_cast<double>(v), model::Narrowing::Wrap);
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
  const model::ParamRow* row = Find(rule.no);
  if (row == nullptr) return;
  switch (rule.conversion) {
    case Conversion::Plain:
    case Conversion::Percent: {
      double v = 0;
      if (!ScanReal(text, v) || !std::isfinite(v) || row->file != model::FileType::Real) return;
      model::Set(Records(doc), *row, rule.no, rule.conversion == Conversion::Percent ? v * 0.01 : v,
                 model::Narrowing::Exact);
      break;
    }
    case Conversion::Integer: {
      long v = 0;
      if (ScanInteger(text, v)) StoreInteger(*row, rule.no, v, doc);
      break;
    }
    case Conversion::Hex: {
      uint32_t w = 0;
      if (ScanHexWord(text, w)) StoreInteger(*row, rule.no, static_cast<int32_t>(w), doc);
      break;
    }
  }
}

void StoreList(uint16_t no, IEntryInputs& inputs, CAxtuneDoc& doc) {
  const model::ParamRow* row = Find(no);
  if (row == nullptr) return;
  if (const std::optional<int32_t> item = inputs.SelectedItem(no)) {
    StoreInteger(*row, no, *item, doc);
  }
}

// Hidden boxes keep their fields' values.
void TakeOver(const PageRules& rules, IEntryInputs& inputs, CAxtuneDoc& doc) {
  for (const FieldRule& rule : rules.fields) {
    if (Skipped(rule, doc.params) || !inputs.IsShown(rule.no, 0)) continue;
    TakeOverField(rule, inputs.Text(rule.no), doc);
  }
  for (const CheckRule& check : rules.checks) {
    const model::ParamRow* row = Find(check.no);
    if (row == nullptr || !inputs.IsShown(check.no, check.bit)) continue;
    const bool checked = inputs.IsChecked(check.no, check.bit);
    if (check.bit == 0) {
      StoreInteger(*row, check.no, checked ? 1 : 0, doc);
    } else {
      const int64_t word = IntegerValue(check.no, doc);
      StoreInteger(*row, check.no, checked ? (word | check.bit) : (word & ~int64_t{check.bit}),
                   doc);
    }
  }
  for (uint16_t no : rules.lists) StoreList(no, inputs, doc);
}

void WriteNumbered(const WriteItem& item, CAxtuneDoc& doc) {
  const model::ParamRow* row = Find(item.no);
  if (row == nullptr) return;
  const double v = model::Get({&doc.params, &doc.lin}, *row, item.no).value_or(0);
  // Reals, and integers the controller takes signed, go out as reals.
  if (row->file == model::FileType::Real ||
      (row->file != model::FileType::Bool && item.signedValue)) {
    doc.WriteParamNoReal(v, item.no);
  } else if (row->file == model::FileType::Bool) {
    doc.WriteParamNoByte(static_cast<int32_t>(v), item.no);
  } else {
    doc.WriteParamNoUInt(static_cast<uint32_t>(static_cast<int64_t>(v)), item.no);
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
