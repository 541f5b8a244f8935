// What the pages show of records a controller or a file filled: every field and every input of
// the visibility rules from the bytes, then every control's visibility, text and check state.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "model/ParamDictionary.h"
#include "model/ParamRecord.h"
#include "pages/layout/Display.h"
#include "pages/layout/PageTables.h"
#include "pages/layout/Visibility.h"

namespace {

class Bytes {
 public:
  explicit Bytes(std::span<const uint8_t> data) : data_(data) {}
  template <class T>
  T Next() {
    T v{};
    std::array<uint8_t, sizeof(T)> raw{};
    for (uint8_t& b : raw) b = pos_ < data_.size() ? data_[pos_++] : 0;
    std::memcpy(&v, raw.data(), sizeof v);
    return v;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

template <class Field, class Record>
void Fill(const Field& f, Record& r, Bytes& in) {
  switch (f.type) {
    case model::ParamType::Real:
      f.template Ref<double>(r) = in.Next<double>();
      break;
    case model::ParamType::Int16:
      f.template Ref<int16_t>(r) = in.Next<int16_t>();
      break;
    case model::ParamType::UInt16:
      f.template Ref<uint16_t>(r) = in.Next<uint16_t>();
      break;
    case model::ParamType::Int32:
      f.template Ref<int32_t>(r) = in.Next<int32_t>();
      break;
    case model::ParamType::Bool:
      f.template Ref<bool>(r) = in.Next<uint8_t>() != 0;
      break;
    case model::ParamType::Text:
    case model::ParamType::RealArray:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(std::span<const uint8_t>(data, size));
  pages::layout::ViewInputs view;
  view.page = in.Next<uint8_t>() % pages::layout::kPageCount;
  view.lib = {in.Next<uint16_t>(), in.Next<uint16_t>(), in.Next<uint16_t>()};
  view.axisRefLayout = in.Next<int16_t>();
  view.stParamLayout = in.Next<int16_t>();
  view.messageLogLayout = in.Next<int16_t>();
  view.fileMode = in.Next<uint8_t>() & 1;
  view.hasDevIo = in.Next<uint8_t>() & 1;
  view.refFlag4 = in.Next<uint8_t>() & 1;

  model::ParamRecord params;
  for (const model::ParamField& f : model::ParamFields()) Fill(f, params, in);
  for (double& v : params.AuxData) v = in.Next<double>();
  std::array<char, 256> name{};
  for (char& c : name) c = in.Next<char>();
  std::memcpy(params.FileName.data(), name.data(), name.size());
  model::LinRecord lin;
  for (const model::ParamRow& row : model::ParamRows()) {
    if (row.home == model::ParamHome::Lin && row.count == 1) {
      model::Set({nullptr, &lin}, row, row.no, in.Next<double>(), model::Narrowing::Wrap);
    }
  }
  model::RuntimeRecord runtime;
  runtime.EncoderInfo1 = in.Next<double>();
  runtime.EncoderInfo2 = in.Next<double>();
  view.encoderType = params.EncoderType;
  view.referenceMode = params.ReferenceMode;
  view.driveType = params.DriveType;
  view.profileType = params.ProfileType;
  view.asymmetric = params.Asymmetric;

  const pages::layout::DisplayRecords records{params, lin, runtime};
  for (const pages::layout::PlacedControl& p : pages::layout::AllControls()) {
    pages::layout::IsVisible(p.page, *p.control, view);
    pages::layout::TextIdFor(*p.control, view);
    pages::layout::ParamText(*p.control, records, "undefined");
    pages::layout::ParamChecked(*p.control, records);
  }
  return 0;
}
