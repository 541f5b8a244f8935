#include "sim/Runtime.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "oxa/Bytes.h"
#include "sim/Reply.h"

namespace sim {
namespace {

std::string Key(std::string_view name) {
  std::string k(name);
  for (char& c : k) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return k;
}

}  // namespace

void SymbolServer::Set(std::string_view name, std::vector<uint8_t> value) {
  symbols_[Key(name)] = std::move(value);
}

bool SymbolServer::Install(Service& service) {
  if (service.Serves(kGroupSymbolHandleByName) || service.Serves(kGroupSymbolValueByHandle) ||
      service.Serves(kGroupSymbolReleaseHandle)) {
    return false;
  }
  size_t longestValue = 0;
  for (const auto& [name, value] : symbols_) longestValue = std::max(longestValue, value.size());
  service.Add(
      kGroupSymbolHandleByName, sizeof(uint32_t),
      [this](const oxa::OxaRequest& r, std::span<uint8_t> out) { return HandleByName(r, out); });
  service.Add(
      kGroupSymbolValueByHandle, static_cast<uint32_t>(longestValue),
      [this](const oxa::OxaRequest& r, std::span<uint8_t> out) { return ValueByHandle(r, out); });
  service.Add(kGroupSymbolReleaseHandle, 0,
              [this](const oxa::OxaRequest& r, std::span<uint8_t>) { return ReleaseHandle(r); });
  return true;
}

oxa::OxaReplyInfo SymbolServer::HandleByName(const oxa::OxaRequest& req, std::span<uint8_t> out) {
  if (req.command != oxa::Command::ReadWrite) return Fail(oxa::kErrServiceNotSupported);
  if (req.indexOffset != 0) return Fail(oxa::kErrInvalidIndexOffset);
  if (req.readLength != 4 || out.size() < 4) return Fail(oxa::kErrInvalidSize);
  // The name is the write data up to the first terminator, if any.
  const auto* p = reinterpret_cast<const char*>(req.writeData.data());
  const size_t len = static_cast<size_t>(
      std::find(req.writeData.begin(), req.writeData.end(), uint8_t{0}) - req.writeData.begin());
  if (len == 0) return Fail(kErrSymbolNotFound);
  auto sym = symbols_.find(Key(std::string_view(p, len)));
  if (sym == symbols_.end()) return Fail(kErrSymbolNotFound);
  if (handles_.size() >= kMaxHandles) return Fail(oxa::kErrBusy);
  while (handles_.contains(nextHandle_) || nextHandle_ == 0) ++nextHandle_;
  const uint32_t handle = nextHandle_++;
  handles_.emplace(handle, sym->first);
  oxa::bytes::Put(out, 0, handle);
  return Done(4);
}

oxa::OxaReplyInfo SymbolServer::ValueByHandle(const oxa::OxaRequest& req,
                                              std::span<uint8_t> out) const {
  if (req.command != oxa::Command::Read) return Fail(oxa::kErrServiceNotSupported);
  auto h = handles_.find(req.indexOffset);
  if (h == handles_.end()) return Fail(oxa::kErrInvalidIndexOffset);
  const std::vector<uint8_t>& value = symbols_.at(h->second);
  if (req.readLength != value.size() || out.size() < value.size()) {
    return Fail(oxa::kErrInvalidSize);
  }
  std::copy(value.begin(), value.end(), out.begin());
  return Done(static_cast<uint32_t>(value.size()));
}

oxa::OxaReplyInfo SymbolServer::ReleaseHandle(const oxa::OxaRequest& req) {
  if (req.command != oxa::Command::Write) return Fail(oxa::kErrServiceNotSupported);
  if (req.indexOffset != 0) return Fail(oxa::kErrInvalidIndexOffset);
  uint32_t handle = 0;
  if (req.writeData.size() != 4 || !oxa::bytes::Get(req.writeData, 0, handle)) {
    return Fail(oxa::kErrInvalidSize);
  }
  if (handles_.erase(handle) == 0) return Fail(oxa::kErrInvalidData);
  return Done();
}

bool Cv2Runtime::Install(Controller& controller) {
  for (size_t i = 0; i < activeTasks.size(); ++i) {
    symbols.Set(".SYSTEMTASKINFOARR[" + std::to_string(i + 1) + "].ACTIVE",
                {static_cast<uint8_t>(activeTasks[i] ? 1 : 0)});
  }
  return symbols.Install(controller.Port(port));
}

bool Cv3Runtime::Install(Controller& controller) {
  std::vector<uint8_t> value(4);
  oxa::bytes::Put(std::span<uint8_t>(value), 0, cycleCount);
  symbols.Set("Corvane_SystemInfoVarList._TASKINFO[1].CycleCount", std::move(value));
  return symbols.Install(controller.Port(port));
}

}  // namespace sim
