// Parameter files (*.dat): the parameter set of one axis as a flat list of numbered values.
//
// A file is a sequence of 12-byte little-endian records without any header: a number word
// (bits 0 to 14 the parameter number, bits 15 to 31 ignored) and an 8-byte value. The first
// record's number is the file format version (215 today); its value means nothing. Every other
// record sets the field its number names, typed by the table below: a real is the whole 8-byte
// double, a boolean is true when bytes 4 to 7 (a 32-bit integer) are not 0, a 16-bit integer is
// bytes 4 and 5, a 32-bit integer bytes 4 to 7. A final piece shorter than 12 bytes is ignored.
//
// Files of format 205 and below number the motion limits differently (6 to 13 mean today's 8
// to 15), and fields that came into the format later than a file's version get defaults. Those
// defaults are applied again before every record, the first included, so in an older file a
// record for such a field only keeps its value when it is the file's last record. Stored files
// and the tools that wrote them rely on that, so the reader keeps it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/LinRecord.h"
#include "model/Link.h"
#include "model/ParamRecord.h"

namespace files {

inline constexpr size_t kFileRecordSize = 12;
inline constexpr uint16_t kFileNumberMask = 0x7FFF;
// The format version the writer produces; files of this version and above get no defaults.
inline constexpr int kFileFormatCurrent = 215;
// Files of this version and below use the older numbering of 6 to 13.
inline constexpr int kFileFormatOldNumbering = 205;

enum class FileValueType : uint8_t { Real, Bool, Int16, Word16, Int32 };

// One entry of the number table: a single value, or an array of `count` values numbered
// no, no + 1, ... (AuxData, LinTabValue, LinTabOutput).
struct FileParam {
  uint16_t no;
  uint16_t count;
  FileValueType type;
  bool lin;  // a field of LinRecord, else of ParamRecord
  std::string_view name;
  const model::ParamField* field;                   // the ParamRecord field; null for LinRecord
  void* (*linAt)(model::LinRecord&, size_t index);  // the LinRecord field; null for ParamRecord

  // The value `index` of the entry in one of the records.
  void* at(model::ParamRecord& param, model::LinRecord& linRecord, size_t index) const;
};

// Every number of the format, in the order the writer stores them (ascending). The ParamRecord
// numbers are those of the record's own field table, AuxData as 2001 to 2020; the LinRecord
// settings 3000 to 3158 are the dictionary's LinRecord rows (a test holds the two together).
std::span<const FileParam> FileParams();
// The entry of a number in today's numbering and the array index within it; null for a number
// the format does not list.
const FileParam* FindFileParam(uint16_t no, size_t& index);

// One value of a field, as the file types it.
struct FileValue {
  FileValueType type = FileValueType::Real;
  double real = 0;
  int32_t integer = 0;  // Bool (0/1), Int16, Word16, Int32
  // Equal values; reals compare by value, and two NaNs count as equal.
  friend bool operator==(const FileValue& a, const FileValue& b);
};
FileValue GetFileValue(const FileParam& p, size_t index, const model::ParamRecord& param,
                       const model::LinRecord& lin);
// "AuxData[4]" for an array entry, the plain name otherwise.
std::string FileParamName(const FileParam& p, size_t index);

// Sets the fields that came into the format later than `format` to their defaults; nothing for
// format 215 and above. A file's reading applies them before each of its records.
void ApplyFormatDefaults(int format, model::ParamRecord& r);

// What reading a file did, for the caller to show; nothing here shows anything.
struct FileLoadResult {
  bool opened = false;                // the file could be opened (whatever its contents)
  int nFileFormat = 0;                // the number of the first record; 0 without one
  size_t recordsRead = 0;             // whole records read, the version record included
  size_t numbersSkipped = 0;          // records after the first whose number sets nothing
  size_t trailingBytes = 0;           // bytes of a final piece shorter than a record, ignored
  bool readError = false;             // reading stopped early at a read error
  std::vector<std::string> warnings;  // one line each, English, for logs and the command line
};

// Applies the records of `bytes` (a whole file's contents) to the records: LinRecord is reset
// first (its table points keep their values), then ParamRecord (FileName keeps its value).
FileLoadResult ReadParameterData(std::span<const uint8_t> bytes, model::ParamRecord& param,
                                 model::LinRecord& lin);

// Reads the file at `path` in the same way. A file that cannot be opened gives opened == false
// and leaves both records untouched; a read error ends the reading like the end of the file.
FileLoadResult LoadParameterFile(const std::string& path, model::ParamRecord& param,
                                 model::LinRecord& lin);

// The record layout version table the offline file mode sets once a file has been opened:
// word 0 = 6, word 2 = 10, words 1, 3, 4, 11 and 12 = -1; the others as in `current`.
model::RecordVersionTable FileModeVersionTable(const model::RecordVersionTable& current);

// The file of format 215 for the records: the version record, then every number of the table.
std::vector<uint8_t> EncodeParameterFile(const model::ParamRecord& param,
                                         const model::LinRecord& lin);

// A parameter whose value differs between two parameter sets.
struct FileParamDiff {
  uint16_t no;
  std::string name;
  FileValue a;
  FileValue b;
};
// Every number of the table whose value differs, in table order; of LinTabValue and LinTabOutput
// only the first `tablePoints` entries (at most 100).
std::vector<FileParamDiff> DiffParameterSets(const model::ParamRecord& paramA,
                                             const model::LinRecord& linA,
                                             const model::ParamRecord& paramB,
                                             const model::LinRecord& linB,
                                             size_t tablePoints = model::kLinTabPoints);

// The table points that a LinSamples value makes count: LinSamples clamped to 0 to 100. A file
// brings LinSamples as it stands, so every consumer of the table goes through this.
size_t LinTablePoints(int16_t linSamples);

}  // namespace files
