// The parameters of an emulated axis and the groups through which the axis server serves them.
//
// Every axis holds its parameter record (typed as the record's fields, with the defaults of a
// hydraulic cylinder of 500 mm stroke) plus the few numbers outside the record. The server
// answers, for axis n:
//   0x8000F000 + n, offset 2    read or write of the whole StParam block in the layout that
//                               word 2 of its record version table names; exactly the layout's
//                               length (else 0x705); 0x703 when that word has no block layout.
//   0x8000F000 + n, offset 24   ParamBatch (read-write, 80 bytes out, 240 back), from V3.0.22.
//                               A slot whose number the server does not know answers 0.
//   0x800F0000 + n, offset no   the single value of number `no`: 8 bytes holding a double
//                               (integer fields too), 1 byte for a boolean, 256 bytes FileName
//                               (1007), 160 bytes AuxData (2000). Reads from V3.0.20, writes
//                               from V3.0.11 (earlier: 0x702); an unknown number 0x703, a wrong
//                               length 0x705.
// Beside the record's own numbers a server knows the AuxData entries 2001 to 2020 wherever it
// answers numbers at all, and from V3.0.32 on the settings of the linearisation record (3000 to
// 3158, not the table points), which act on the record that the LinRecord block read serves.
// Which numbers a server knows follows its library version (ParamNoSince: the `since` of the
// number's row in model/ParamDictionary.h) less the numbers its configuration lists under
// "unknownParams".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/LinRecord.h"
#include "model/Link.h"
#include "model/ParamRecord.h"
#include "sim/AxisServer.h"
#include "sim/Plant.h"

namespace sim {

inline constexpr uint32_t kGroupRecords = 0x8000F000;
inline constexpr uint32_t kGroupParamNo = 0x800F0000;
inline constexpr uint32_t kOffsetParamBlock = 2;
inline constexpr uint32_t kOffsetBatch = 24;

// The library version from which a server knows parameter number `no`; none for a number no
// server knows.
std::optional<model::LibVersion> ParamNoSince(uint16_t no);

// The access methods by library version.
struct ParamMethods {
  bool batch;         // ParamBatch at offset 24
  bool numberedRead;  // single reads at 0x800F0000 + n
  bool numberedWrite;
};
ParamMethods ParamMethodsOf(const model::LibVersion& lib);

class ParamStore {
 public:
  ParamStore();

  model::ParamRecord& Record() { return rec_; }
  const model::ParamRecord& Record() const { return rec_; }

  // Numbers outside the record that the server also keeps (log level, latch, reference flag,
  // encoder info). False for a number it does not keep.
  bool Extra(uint16_t no, double& value) const;
  bool SetExtra(uint16_t no, double value);

  // Sets one value from the configuration: a field by its name, or an extra by its number.
  // Numbers for numeric fields, true/false for booleans, a text for FileName, a list of up to
  // 20 numbers for AuxData. False with `error` for anything else.
  bool Set(const std::string& key, const nlohmann::json& value, std::string& error);

 private:
  model::ParamRecord rec_;
  std::map<uint16_t, double> extra_;
};

// Numbers of the runtime values and other features that share the batch request; another
// feature registers a source, and the batch asks it for every slot the parameter store does not
// answer. Returns true when it knows the number.
struct BatchSource {
  std::function<bool(SimAxis& axis, uint16_t no, double& value)> real;
  std::function<bool(SimAxis& axis, uint16_t no, int32_t& value)> integer;
};

// What the server keeps for its parameters: the numbers its configuration made unknown, and the
// other sources of the batch.
struct ParamServerState {
  std::set<uint16_t> unknown;
  std::vector<BatchSource> batchSources;
  // Told after every successful write of a parameter, by block or by number.
  std::vector<std::function<void(SimAxis& axis)>> writeListeners;
  // The axis's linearisation record, kept by another feature; while unset the server knows no
  // linearisation settings.
  std::function<model::LinRecord*(SimAxis& axis)> linRecord;
};

// True when `server` knows number `no` (its version, less the configured unknown numbers).
bool ServerKnowsParam(const AxisServer& server, uint16_t no);

// Gives every axis of `server` a store and serves the groups above. False when a group is
// already served.
bool InstallParamStore(AxisServer& server);
ParamStore* ParamsOf(SimAxis& axis);
ParamServerState* ParamStateOf(AxisServer& server);

// The configuration feature: server key "unknownParams" (list of numbers), axis key "params"
// (an object of field names or numbers and their values).
ServerFeature ParamStoreFeature();

}  // namespace sim
