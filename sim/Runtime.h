// PLC runtimes of the emulated controller and the symbol services they answer.
//
// The symbol services of a runtime's port:
//   0xF003 handle by name   read-write, write data the name (a terminator is allowed), read 4
//                           bytes: the handle. Unknown name: 0x710 (symbol not found).
//   0xF005 value by handle  read, index offset the handle, read length the symbol's size.
//                           Unknown or released handle: 0x703; wrong length: 0x705.
//   0xF006 release handle   write of the 4-byte handle. Unknown handle: 0x706; wrong length 0x705.
// Symbol names compare without regard to ASCII case, as the runtimes do. A runtime hands out at
// most kMaxHandles live handles; past that a handle request fails with 0x708 (busy) until
// handles are released.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Controller.h"

namespace sim {

inline constexpr uint32_t kGroupSymbolHandleByName = 0xF003;
inline constexpr uint32_t kGroupSymbolValueByHandle = 0xF005;
inline constexpr uint32_t kGroupSymbolReleaseHandle = 0xF006;
inline constexpr int32_t kErrSymbolNotFound = 0x710;

class SymbolServer {
 public:
  static constexpr size_t kMaxHandles = 1024;

  // Adds or replaces a symbol with its value bytes (their count is the symbol's size), before
  // Install.
  void Set(std::string_view name, std::vector<uint8_t> value);
  // Serves the symbols set so far. False when the port already serves one of the symbol groups.
  bool Install(Service& service);
  size_t LiveHandles() const { return handles_.size(); }

 private:
  oxa::OxaReplyInfo HandleByName(const oxa::OxaRequest& req, std::span<uint8_t> out);
  oxa::OxaReplyInfo ValueByHandle(const oxa::OxaRequest& req, std::span<uint8_t> out) const;
  oxa::OxaReplyInfo ReleaseHandle(const oxa::OxaRequest& req);

  std::map<std::string, std::vector<uint8_t>> symbols_;  // by upper-case name
  std::map<uint32_t, std::string> handles_;              // live handle -> symbol key
  uint32_t nextHandle_ = 0x1000;
};

// The older runtime generation: four tasks, task i active when ".SYSTEMTASKINFOARR[i].ACTIVE"
// is true. The axis server of a task answers on the runtime's port plus the task number.
struct Cv2Runtime {
  uint16_t port = 0;
  std::array<bool, 4> activeTasks{};  // tasks 1 to 4
  SymbolServer symbols;

  bool Install(Controller& controller);
};

// The newer generation: one runtime per port; it runs when the cycle count of its first task,
// "Corvane_SystemInfoVarList._TASKINFO[1].CycleCount", is above 0. The axis server answers on
// the runtime's own port.
struct Cv3Runtime {
  uint16_t port = 0;
  uint32_t cycleCount = 0;
  SymbolServer symbols;

  bool Install(Controller& controller);
};

}  // namespace sim
