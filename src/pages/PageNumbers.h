// The page view's pages by their tab index: those of model::Page.
#pragma once

#include "model/ParamRecord.h"
#include "pages/layout/PageTables.h"

namespace pages {

using model::kPageAuxilary;
using model::kPageCommon;
using model::kPageEncoder;
using model::kPageGlobal;
using model::kPageIo;
using model::kPageLinDef;
using model::kPageLinTab;
using model::kPageOnline;
using model::kPageOverview;
inline constexpr int kPageCount = layout::kPageCount;
// SelectAxis with this page reads every record.
inline constexpr int kAllPages = model::kPageAll;

}  // namespace pages
