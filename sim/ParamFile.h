// The parameter file of an emulated axis: "save parameters on the controller" writes the axis's
// parameters as a parameter file of format 215 under the name its FileName parameter holds,
// "load" reads that file back into the axis.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class SimAxis;

// The file name of axis `axisNumber` of the server at `port` unless its FileName parameter or
// the configuration names another: "port<P>-axis<N>.dat", so that the axes of all servers can
// share one directory.
std::string DefaultFileName(uint16_t port, uint16_t axisNumber);
// The name emulators before port-named files used: "axis<N>.dat". Load still reads it when the
// axis keeps its default name and no file of that name exists yet.
std::string LegacyFileName(uint16_t axisNumber);

// True for a name that stays inside the save directory: not empty, no path separator, no "..",
// no control character, not starting with '.'.
bool IsPlainFileName(std::string_view fileName);

// The name a file of axis `axisNumber` of the server at `port` is stored under: `fileName` when it
// is a plain name, otherwise DefaultFileName.
std::string SaveFileName(std::string_view fileName, uint16_t port, uint16_t axisNumber);

// Writes `bytes` to `path` so that a crash never leaves a partial file there: a temporary file
// beside it, flushed to disk, then renamed over it. False with `error` set on any failure, and
// the temporary file removed.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         std::string& error);

// The directory the emulator saves to when neither its options nor its configuration name one:
// $XDG_STATE_HOME/valdor-sim, else ~/.local/state/valdor-sim, else "valdor-sim-params" in the
// current directory when neither XDG_STATE_HOME nor HOME is set.
std::filesystem::path DefaultSaveDir();

// Creates `dir` when missing and checks that a file can be created in it. False with `error`
// naming the directory and the cause.
bool PrepareSaveDir(const std::filesystem::path& dir, std::string& error);

// A parameter file as the axis held it at one moment, and where it goes.
struct ParamSnapshot {
  std::filesystem::path path;
  std::vector<uint8_t> bytes;
};

// The file of the axis's parameter record and linearisation record, to be saved into `dir`;
// false when the axis keeps no parameters.
bool SnapshotAxisParameters(SimAxis& axis, const std::filesystem::path& dir, ParamSnapshot& out);

// How a save puts a file on disk; SaveFile unless a test or a fuzz target says otherwise.
using FileWriter = std::function<bool(const std::filesystem::path& path,
                                      std::span<const uint8_t> bytes, std::string& error)>;
// Creates the directory of `path` when missing and writes `bytes` there atomically.
bool SaveFile(const std::filesystem::path& path, std::span<const uint8_t> bytes,
              std::string& error);

// The saves of a server that are on their way to the disk. Snapshots are taken in turn while
// requests are answered, and written afterwards without holding them up; the writes happen one
// at a time, and a snapshot is never written over a later one of the same file.
class SaveQueue {
 public:
  // A place in the order for a snapshot of `file`, taken now.
  uint64_t Enter(const std::filesystem::path& file);
  // Writes the snapshot with ticket `ticket` unless a later snapshot of the same file is on disk
  // already. False when the write fails.
  bool Write(uint64_t ticket, const ParamSnapshot& snapshot, const FileWriter& write);

 private:
  struct Pending {
    uint64_t written = 0;  // the latest ticket on disk
    size_t waiting = 0;    // snapshots entered, not yet written
  };
  std::mutex mutex_;      // the order; held only briefly
  std::mutex diskMutex_;  // one write at a time
  uint64_t lastTicket_ = 0;
  std::map<std::filesystem::path, Pending> files_;
};

// The file of the axis in `dir`, named by its FileName parameter (SaveFileName).
std::filesystem::path AxisFilePath(SimAxis& axis, const std::filesystem::path& dir);

// Reads the axis's file back from `dir` and raises the notice that its parameters changed; an
// axis with its default name whose file is missing reads the legacy "axis<N>.dat" instead when
// that exists. `path` is the file read. 0, or 0x704 when the file cannot be opened (the axis is
// unchanged then).
int32_t LoadAxisParameters(SimAxis& axis, const std::filesystem::path& dir,
                           std::filesystem::path& path);

}  // namespace sim
