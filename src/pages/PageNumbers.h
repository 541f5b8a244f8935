// The page view's pages by their tab index.
#pragma once

#include "pages/layout/PageTables.h"

namespace pages {

inline constexpr int kPageCommon = 0;
inline constexpr int kPageOverview = 1;
inline constexpr int kPageOnline = 2;
inline constexpr int kPageEncoder = 5;
inline constexpr int kPageAuxilary = 8;
inline constexpr int kPageIo = 9;
inline constexpr int kPageLinTab = 10;
inline constexpr int kPageLinDef = 11;
inline constexpr int kPageCount = layout::kPageCount;
// SelectAxis with this page reads every record.
inline constexpr int kAllPages = 12;

}  // namespace pages
