// The error box is built from a result code, index group and offset that a controller (or a
// record reader) hands back; the start language comes from the environment. Neither may crash or
// produce a malformed box.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "i18n/StringTable.h"
#include "link/ErrorText.h"

namespace {

uint32_t Word(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 14) return 0;
  const bool stop = (data[0] & 1) != 0;
  const bool write = (data[0] & 2) != 0;
  const uint16_t language = static_cast<uint16_t>(data[1] | data[2] << 8);
  const auto code = static_cast<int32_t>(Word(data + 3));
  const uint32_t group = Word(data + 7);
  const uint32_t offset = Word(data + 10) ^ data[13];

  i18n::StringTable strings;
  strings.SetLanguage(language);
  const std::string text = axlink::BuildOxaErrorText(strings, stop, write, code, group, offset);
  const std::string_view head = strings.Text(axlink::kIdsAttention);
  if (text.compare(0, head.size(), head) != 0) std::abort();
  if (text.find(axlink::kOxaErrorPrefix) == std::string::npos) std::abort();
  if (std::memchr(text.data(), '\0', text.size()) != nullptr) std::abort();

  const std::string_view locale(reinterpret_cast<const char*>(data + 14), size - 14);
  const uint16_t start = i18n::LanguageForLocale(locale);
  if (!strings.SetLanguage(start)) std::abort();
  return 0;
}
