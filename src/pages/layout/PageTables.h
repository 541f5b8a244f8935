// Every control of the page view, page by page, as data (Control.h). The Qt builder creates one
// widget per entry in the order of AllControls(); nothing else places a control.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "model/ParamRecord.h"
#include "pages/layout/Control.h"

namespace pages::layout {

inline constexpr int kPageCount = 12;
// The page of the controls that belong to every page (axis name, destination, velocity and the
// command row); their own rules say where they show.
inline constexpr int kFramePage = -1;

// String IDs of the tab captions, in tab order.
inline constexpr std::array<uint32_t, kPageCount> kTabTextIds{
    1000, 12000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 11000, 11001};

// Command IDs of the buttons.
inline constexpr int16_t kIdSave = 500;
inline constexpr int16_t kIdLoad = 501;
inline constexpr int16_t kIdReset = 502;
inline constexpr int16_t kIdStart = 503;
inline constexpr int16_t kIdDownload = 504;
inline constexpr int16_t kIdHome = 505;
inline constexpr int16_t kIdSetPos = 506;
inline constexpr int16_t kIdJogFastNeg = 507;
inline constexpr int16_t kIdJogSlowNeg = 508;
inline constexpr int16_t kIdJogSlowPos = 509;
inline constexpr int16_t kIdJogFastPos = 510;
inline constexpr int16_t kIdDownloadEncoderType = 520;
inline constexpr int16_t kIdDownloadReferenceMode = 521;
inline constexpr int16_t kIdDownloadDriveType = 522;
inline constexpr int16_t kIdDownloadProfileType = 523;
inline constexpr int16_t kIdOverviewList = 600;

// Auxiliary value i (0 to 19) travels as parameter number model::kParamNoAuxFirst + i.
using model::kParamNoAuxFirst;
inline constexpr uint16_t kAuxValues = std::tuple_size_v<decltype(model::ParamRecord::AuxData)>;

struct PlacedControl {
  int page;  // 0 to 11, or kFramePage
  const Control* control;
};

// The controls of one page (0 to 11) in row order; empty for any other number.
std::span<const Control> PageControls(int page);
// The controls every page shares.
std::span<const Control> FrameControls();
// Every control in creation order: the frame rows, then pages 0 to 11.
std::span<const PlacedControl> AllControls();

}  // namespace pages::layout
