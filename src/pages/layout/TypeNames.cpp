#include "pages/layout/TypeNames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace pages::layout {
namespace {

constexpr int kNamedExtra = 1000;

// "<prefix>" and the value in at least two digits.
std::string Numbered(std::string_view prefix, int value) {
  std::array<char, 16> digits{};
  std::snprintf(digits.data(), digits.size(), "%02d", value);
  return std::string(prefix) + digits.data();
}

struct Named {
  int value;
  std::string_view name;
  bool listed;  // offered in the combo box
};

constexpr std::array<Named, 9> kProfiles{{
    {0, "ProfileConstAcc", true},
    {1, "ProfileTimePosCtrl", false},
    {2, "ProfileCosine", false},
    {3, "ProfileCtrlBased", true},
    {4, "ProfileTimeRamp", true},
    {5, "ProfileJerkBased", true},
    {6, "ProfileBufferedJerk", true},
    {7, "ProfileSwitchedVelo", true},
    {100, "ProfileTestOnly", false},
}};

constexpr std::array<std::string_view, 5> kHoming{"HomingOnBlock", "HomingOnIndex", "HomingOnSync",
                                                  "HomingOnMultiSync", "HomingOnExec"};

bool EncoderNamed(int v) {
  return (v >= 0 && v <= 44 && v != 36) || v == kNamedExtra;
}
bool DriveNamed(int v) {
  return (v >= 0 && v <= 39 && v != 20 && v != 22 && v != 32) || v == kNamedExtra;
}

// The combo box sorts without regard to case.
bool NameLess(const ComboItem& a, const ComboItem& b) {
  return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                      [](char x, char y) {
                                        return std::tolower(static_cast<unsigned char>(x)) <
                                               std::tolower(static_cast<unsigned char>(y));
                                      });
}

}  // namespace

std::optional<std::string> EncoderTypeName(int value) {
  if (!EncoderNamed(value)) return std::nullopt;
  return Numbered("EncoderType", value);
}

std::optional<std::string> DriveTypeName(int value) {
  if (!DriveNamed(value)) return std::nullopt;
  return Numbered("DriveType", value);
}

std::optional<std::string> ProfileTypeName(int value) {
  for (const Named& p : kProfiles) {
    if (p.value == value) return std::string(p.name);
  }
  return std::nullopt;
}

std::optional<std::string> ReferenceModeName(int value) {
  if (value < 0 || static_cast<size_t>(value) >= kHoming.size()) return std::nullopt;
  return std::string(kHoming[static_cast<size_t>(value)]);
}

std::optional<std::string> TypeName(uint16_t no, int value) {
  switch (no) {
    case 1100:
      return EncoderTypeName(value);
    case 1300:
      return DriveTypeName(value);
    case 1000:
      return ProfileTypeName(value);
    case 1101:
      return ReferenceModeName(value);
    default:
      return std::nullopt;
  }
}

std::vector<ComboItem> ComboItems(ComboList list) {
  std::vector<ComboItem> items;
  auto add = [&items](std::optional<std::string> name, int value) {
    if (name) items.push_back({std::move(*name), static_cast<int16_t>(value)});
  };
  switch (list) {
    case ComboList::Encoder:
      for (int v = 0; v <= 44; ++v) add(EncoderTypeName(v), v);
      add(EncoderTypeName(kNamedExtra), kNamedExtra);
      break;
    case ComboList::Drive:
      for (int v = 0; v <= 39; ++v) add(DriveTypeName(v), v);
      add(DriveTypeName(kNamedExtra), kNamedExtra);
      break;
    case ComboList::Homing:
      for (int v = 0; v < static_cast<int>(kHoming.size()); ++v) add(ReferenceModeName(v), v);
      break;
    case ComboList::Profile:
      for (const Named& p : kProfiles) {
        if (p.listed) add(std::string(p.name), p.value);
      }
      break;
    case ComboList::None:
      break;
  }
  std::stable_sort(items.begin(), items.end(), NameLess);
  return items;
}

}  // namespace pages::layout
