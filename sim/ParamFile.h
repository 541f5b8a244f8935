// The parameter file of an emulated axis: "save parameters on the controller" writes the axis's
// parameters as a parameter file of format 215 under the name its FileName parameter holds,
// "load" reads that file back into the axis.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace sim {

class SimAxis;

// The name a file of axis `axisNumber` is stored under: `fileName` when it is a plain name (not
// empty, no path separator, no "..", no control character, not starting with '.'), otherwise
// "axis<N>.dat".
std::string SaveFileName(std::string_view fileName, uint16_t axisNumber);

// Writes `bytes` to `path` so that a crash never leaves a partial file there: a temporary file
// beside it, flushed to disk, then renamed over it. False with `error` set on any failure, and
// the temporary file removed.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         std::string& error);

// The directory the emulator saves to when neither its options nor its configuration name one:
// $XDG_STATE_HOME/valdor-sim when that is set, else "valdor-sim-params" in the current directory.
std::filesystem::path DefaultSaveDir();

// Saves the axis's parameter record and linearisation record into `dir` (created when missing).
// 0, or 0x704 when the file cannot be written; `path` gets the file's path either way.
int32_t SaveAxisParameters(SimAxis& axis, const std::filesystem::path& dir,
                           std::filesystem::path& path);

// Reads the axis's file back from `dir` and raises the notice that its parameters changed.
// 0, or 0x704 when the file cannot be opened (the axis is unchanged then).
int32_t LoadAxisParameters(SimAxis& axis, const std::filesystem::path& dir,
                           std::filesystem::path& path);

}  // namespace sim
