#include "pages/layout/Display.h"

#include "model/ParamDictionary.h"
#include "pages/layout/PageTables.h"
#include "pages/layout/Printf.h"
#include "pages/layout/TypeNames.h"

namespace pages::layout {
namespace {

// The value of a numbered parameter as a double or an integer; AuxData[i] is 2001 + i.
struct Number {
  bool integral = false;
  double real = 0;
  int64_t integer = 0;
  bool flag = false;
  bool isFlag = false;
};

// The value of a number of the parameter record (AuxData[i] is 2001 + i) or of the LinRecord.
std::optional<Number> RecordNumber(model::ConstRecords r, uint16_t no) {
  const model::ParamRow* row = model::FindParam(no);
  if (row == nullptr) return std::nullopt;
  const std::optional<double> v = model::Get(r, *row, no);
  if (!v) return std::nullopt;
  Number n;
  if (row->file == model::FileType::Bool) {
    n.isFlag = true;
    n.flag = *v != 0;
  } else if (model::IsIntegral(row->file)) {
    n.integral = true;
    n.integer = static_cast<int64_t>(*v);
  } else {
    n.real = *v;
  }
  return n;
}

std::optional<Number> ParamNumber(const model::ParamRecord& r, uint16_t no) {
  return RecordNumber({&r, nullptr}, no);
}

std::optional<Number> LinNumber(const model::LinRecord& r, uint16_t no) {
  return RecordNumber({nullptr, &r}, no);
}

std::string FormatNumber(Fmt fmt, const Number& n) {
  return n.integral ? FormatInteger(fmt, n.integer) : FormatReal(fmt, n.real);
}

}  // namespace

std::string FormatReal(Fmt fmt, double v) {
  switch (fmt) {
    case Fmt::Real6:
      return Printf("%.6lf", v);
    case Fmt::Real3x6:
      return Printf("%3.6lf", v);
    case Fmt::Real3:
      return Printf("%.3lf", v);
    case Fmt::Real1:
      return Printf("%.1lf", v);
    case Fmt::Percent6:
      return Printf("%.6lf", v * 100.0);
    case Fmt::Percent3x6:
      return Printf("%3.6lf", v * 100.0);
    case Fmt::Percent1:
      return Printf("%.1lf", v * 100.0);
    case Fmt::PercentSign2:
      return Printf("%.2lf%%", v * 100.0);
    case Fmt::Millis3:
      return Printf("%.3lf", v * 1000.0);
    default:
      return Printf("%.6lf", v);
  }
}

std::string FormatInteger(Fmt fmt, int64_t v) {
  const auto pattern = static_cast<unsigned long>(static_cast<uint32_t>(v));
  switch (fmt) {
    case Fmt::Hex8:
      return Printf("%08lX", pattern);
    case Fmt::Long1:
      return Printf("%1ld", static_cast<long>(v));
    case Fmt::ErrorCode:
      return Printf("%ld(0x%lX)", static_cast<long>(v), pattern);
    case Fmt::Hex4:
      return Printf("%04lX", pattern);
    case Fmt::Int:
    case Fmt::Long:
    default:
      return Printf("%ld", static_cast<long>(v));
  }
}

std::optional<std::string> ParamText(const Control& c, const DisplayRecords& records,
                                     std::string_view undefined) {
  if (c.kind == Kind::Check || c.kind == Kind::Lamp) return std::nullopt;
  switch (c.bind.src) {
    case Src::Param: {
      if (c.bind.no == model::kParamNoFileName) {
        return std::string(model::FileNameText(records.params));
      }
      if (c.kind == Kind::Combo) {
        // The edit part of a type list shows the name of the stored value.
        Control name = c;
        name.bind.src = Src::TypeName;
        return ParamText(name, records, undefined);
      }
      const std::optional<Number> n = ParamNumber(records.params, c.bind.no);
      if (!n || n->isFlag) return std::nullopt;
      return FormatNumber(c.fmt, *n);
    }
    case Src::Lin: {
      const std::optional<Number> n = LinNumber(records.lin, c.bind.no);
      if (!n || n->isFlag) return std::nullopt;
      return FormatNumber(c.fmt, *n);
    }
    case Src::TypeName: {
      const std::optional<Number> n = ParamNumber(records.params, c.bind.no);
      if (!n || !n->integral) return std::nullopt;
      std::optional<std::string> name = TypeName(c.bind.no, static_cast<int>(n->integer));
      return name ? *name : std::string(undefined);
    }
    case Src::Value:
      if (c.bind.Value() == ValueId::EncoderInfo1)
        return FormatReal(c.fmt, records.runtime.EncoderInfo1);
      if (c.bind.Value() == ValueId::EncoderInfo2)
        return FormatReal(c.fmt, records.runtime.EncoderInfo2);
      return std::nullopt;
    case Src::None:
    case Src::AuxName:
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<bool> ParamChecked(const Control& c, const DisplayRecords& records) {
  if (c.kind != Kind::Check) return std::nullopt;
  std::optional<Number> n;
  if (c.bind.src == Src::Param) n = ParamNumber(records.params, c.bind.no);
  if (c.bind.src == Src::Lin) n = LinNumber(records.lin, c.bind.no);
  if (!n) return std::nullopt;
  if (n->isFlag) return n->flag;
  // A bit of a word: JerkEnabled's four boxes.
  if (n->integral && c.bind.bit != 0) return (static_cast<uint64_t>(n->integer) & c.bind.bit) != 0;
  return std::nullopt;
}

}  // namespace pages::layout
