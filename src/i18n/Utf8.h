#pragma once

#include <string>
#include <string_view>

namespace i18n {

// Controller texts are single-byte (Latin-1); files, JSON and the journal carry UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);
// Whether every lead byte of `text` is one UTF-8 allows (no C0, C1, F5 to FF) and is followed by
// as many continuation bytes as it announces.
bool IsUtf8(std::string_view text);
// `text` as UTF-8: kept when it is valid UTF-8, else every byte taken as Latin-1, so a text cut
// inside a character (or one some router sent in Latin-1) still comes out valid.
std::string ToUtf8(std::string_view text);

}  // namespace i18n
