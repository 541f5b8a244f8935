// The commands of an emulated axis: writes to group 0x80004200 + n, one index offset per
// command. Save and load of the parameter file are here:
//   0xFFFF0001  save the axis's parameters as a parameter file (no data)
//   0xFFFF0002  load them back from that file (no data)
// A save takes the parameters as they are when it is answered, but writes and flushes the file
// without holding up other requests; the answer follows once the file is on disk.
// Other commands (move, jog, stop, home ...) add themselves with AddAxisCommand. A read answers
// 0x701, data of another length than the command takes 0x705, an offset without a command 0x703.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "sim/ParamFile.h"
#include "sim/Plant.h"

namespace sim {

inline constexpr uint32_t kGroupCommands = 0x80004200;
inline constexpr uint32_t kCommandSaveParams = 0xFFFF0001;
inline constexpr uint32_t kCommandLoadParams = 0xFFFF0002;

// Runs a command on an axis with the data written (exactly the length the command takes) and
// returns its result code.
using CommandHandler = std::function<int32_t(SimAxis& axis, std::span<const uint8_t> data)>;

// Serves command `offset` taking `length` bytes on every axis of `server`. False when the offset
// is already taken.
bool AddAxisCommand(AxisServer& server, uint32_t offset, uint32_t length, CommandHandler handler);

// What the commands of a server keep: where its parameter files go, and the last file saved or
// loaded (empty before).
struct CommandState {
  std::filesystem::path saveDir;
  std::filesystem::path lastFile;
  FileWriter writeFile = SaveFile;
  SaveQueue saves;
};
CommandState* CommandsOf(AxisServer& server);

// Serves save and load on every axis of `server`, with files in `saveDir`.
bool InstallFileCommands(AxisServer& server, const std::filesystem::path& saveDir,
                         std::string& error);

// Sets the directory of every server of `plant`, overriding the configuration.
void SetSaveDir(Plant& plant, const std::filesystem::path& dir);

// Makes the save directory of every server of `plant` and checks that it takes files, and that
// no two axes save to the same file. False with `error` naming the directory or the two axes.
bool PrepareSaveDirs(Plant& plant, std::string& error);

// The configuration feature: server key "saveDir" (default DefaultSaveDir()) and axis key
// "paramFile", the plain name of the axis's parameter file (it becomes the axis's FileName).
ServerFeature CommandsFeature();

}  // namespace sim
