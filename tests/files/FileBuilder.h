// Builds parameter file contents record by record for the tests.
#pragma once

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "oxa/Bytes.h"

namespace files_test {

class FileBuilder {
 public:
  explicit FileBuilder(uint32_t formatWord) { Raw(formatWord, 0); }

  FileBuilder& Real(uint32_t no, double v) { return Raw(no, std::bit_cast<uint64_t>(v)); }
  // An integer or boolean in the first bytes of the value, the rest zero.
  FileBuilder& Int(uint32_t no, int32_t v) { return Raw(no, static_cast<uint32_t>(v)); }
  FileBuilder& Raw(uint32_t word, uint64_t value) {
    const size_t at = bytes.size();
    bytes.resize(at + 12);
    oxa::bytes::StoreLe<uint32_t>(bytes.data() + at, word);
    oxa::bytes::StoreLe<uint64_t>(bytes.data() + at + 4, value);
    return *this;
  }

  std::vector<uint8_t> bytes;
};

// A file in the test's temporary directory, removed again at the end of the scope.
class TempFile {
 public:
  explicit TempFile(const std::vector<uint8_t>& bytes) {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() / ("axtune_files_" + std::to_string(::getpid()) +
                                                      "_" + std::to_string(++counter) + ".dat");
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() { std::filesystem::remove(path_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace files_test
